#include "app/res/menus.h"

#include "platform/command_ids.h"

namespace velmora {

namespace {

MenuItem Popup(const char* label, std::vector<MenuItem> children) {
    return {MenuItem::Kind::Popup, QString::fromUtf8(label), 0, false, std::move(children)};
}

MenuItem Command(int command, const char* label, bool grayed = false) {
    return {MenuItem::Kind::Command, QString::fromUtf8(label), command, grayed, {}};
}

MenuItem Separator() {
    return {MenuItem::Kind::Separator, QString(), 0, false, {}};
}

MenuItem EditPopupItem() {
    return Popup("编辑", {Command(ID_EDIT_CUT, "剪切(&T)\tCtrl+X"),
                          Command(ID_EDIT_COPY, "复制(&C)\tCtrl+C"),
                          Command(ID_EDIT_PASTE, "粘贴(&P)\tCtrl+V")});
}

}  // namespace

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = {
        Popup("文件(&F)",
              {Command(ID_FILE_OPEN, "打开(&O)...\tCtrl+O"),
               Command(ID_FILE_SAVE, "保存(&S)\tCtrl+S"), Command(ID_FILE_SAVE_AS, "另存为(&A)..."),
               Separator(), Command(ID_FILE_MRU_FILE1, "最近文件", true), Separator(),
               Command(ID_APP_EXIT, "退出(&X)")}),
        Popup(
            "编辑(&E)",
            {Command(ID_EDIT_UNDO, "撤消(&U)\tCtrl+Z"), Command(ID_EDIT_REDO, "重做(&R)\tCtrl+Y"),
             Separator(), Command(ID_EDIT_CUT, "剪切(&T)\tCtrl+X"),
             Command(ID_EDIT_COPY, "复制(&C)\tCtrl+C"), Command(ID_EDIT_PASTE, "粘贴(&P)\tCtrl+V"),
             Command(ID_EDIT_CLEAR, "删除(&D)\tDel")}),
        Popup("选择(&S)",
              {Command(ID_TOOL_RECTANGLE, "矩形(&R)"), Command(ID_TOOL_POLYGON, "多边形(&P)"),
               Command(ID_TOOL_ELLIPSE, "椭圆形(&E)"), Command(ID_TOOL_SELECT, "选择")}),
        Popup(
            "查看(&V)",
            {Command(ID_VIEW_STATUS_BAR, "状态栏(&S)"), Command(ID_VIEW_CAPTION_BAR, "标题栏(&C)"),
             Popup("应用程序(&A)",
                   {Command(ID_VIEW_APPLOOK_WIN_2000, "Windows 2000(&2)"),
                    Command(ID_VIEW_APPLOOK_OFF_XP, "Office XP(&X)"),
                    Command(ID_VIEW_APPLOOK_WIN_XP, "Windows XP(&W)"),
                    Command(ID_VIEW_APPLOOK_OFF_2003, "Office 2003(&3)"),
                    Command(ID_VIEW_APPLOOK_VS_2005, "Visual Studio.NET 2005(&5)"),
                    Popup("Office 2007(&7)",
                          {Command(ID_VIEW_APPLOOK_OFF_2007_BLUE, "蓝色风格(&B)"),
                           Command(ID_VIEW_APPLOOK_OFF_2007_BLACK, "黑色风格(&L)"),
                           Command(ID_VIEW_APPLOOK_OFF_2007_SILVER, "银灰风格(&S)"),
                           Command(ID_VIEW_APPLOOK_OFF_2007_AQUA, "浅绿风格(&A)")})}),
             Command(ID_VIEW_ZOOM_IN, "放大图像\t+"), Command(ID_VIEW_ZOOM_OUT, "缩小图像\t-"),
             Command(ID_VIEW_ZOOM_NORMAL, "正常查看(1:1)\t\\"), Command(ID_TOOL_MOVE, "移动(&M)")}),
        Popup("帮助(&H)", {Command(ID_HELP_FINDER, "帮助主题(&H)"), Separator(),
                           Command(ID_APP_ABOUT, "关于 Velmora(&A)..."),
                           Command(ID_HELP_VIDEO, "视频教程(&V)")}),
        Popup("Velmora(&I)",
              {Command(ID_FILL_START, "擦除(&R)"), Command(ID_FILL_STOP, "停止(&S)")}),
    };
    return menu;
}

const MenuItem& EditPopup() {
    static const MenuItem popup = EditPopupItem();
    return popup;
}

const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, int command) {
    for (const MenuItem& item : menu) {
        if (item.kind == MenuItem::Kind::Command && item.command == command) return &item;
        if (const MenuItem* found = FindMenuItem(item.children, command)) return found;
    }
    return nullptr;
}

}  // namespace velmora
