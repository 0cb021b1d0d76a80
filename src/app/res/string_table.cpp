#include "app/res/string_table.h"

#include <QRegularExpression>
#include <map>

#include "app/res/resource_ids.h"
#include "platform/command_ids.h"

namespace velmora {

namespace {

const std::map<int, const char*>& Table() {
    static const std::map<int, const char*> table = {
        // Ribbon.
        {IDS_SELECT_PANEL, "选择"},
        {IDS_RECTANGLE, "矩形"},
        {IDS_POLYGON, "多边形"},
        {IDR_MAINFRAME,
         "Velmora\n\nVelmora\n图像文件 (*.jpeg;*.bmp;*.png;*.heic;*.avif)\n"
         ".jpg;.bmp;.jpeg;.jpe;.jfif;.png;.heic;.heif;.avif\n"
         "Velmora.文档\nVelmora.文档"},
        {IDS_FILL_PANEL, "Velmora\n"},
        {IDS_ERASE, "擦除"},
        {IDS_STOP, "停止"},
        {IDS_UNDO, "撤消"},
        {IDS_REDO, "重做"},
        {IDS_EDIT_PANEL, "编辑"},
        {IDS_ZOOM_IN, "放大图像"},
        {IDS_ZOOM_OUT, "缩小图像"},
        {IDS_ZOOM_PANEL, "缩放"},
        {IDS_HELP_PANEL, "帮助"},
        {IDS_HELP, "帮助"},
        {IDS_ABOUT, "关于"},
        {IDS_MAIN_CATEGORY, "文件"},
        {IDS_OPEN, "打开(&O)..."},
        {IDS_SAVE, "保存(&S)"},
        {IDS_SAVE_AS, "另存为(&A)..."},
        {IDS_RECENT_FILES, "最近的文件"},
        {IDS_EXIT, "退出(&X)"},
        {IDS_MAIN_SCREEN, "主界面"},
        {IDS_EDIT_MENU, "编辑"},
        {IDS_ZOOM_NORMAL, "正常"},
        {AFX_IDS_APP_TITLE, "Velmora"},

        // The program's command strings: description, then the title after the line break.
        {ID_TOOL_RECTANGLE, "选择矩形\n矩形工具"},
        {ID_TOOL_POLYGON, "选择多边形\n多边形工具"},
        {ID_TOOL_ELLIPSE, "选择工具\n选择工具"},
        {ID_TOOL_SELECT, "选择对象\n选择工具"},
        {ID_FILL_START, "Velmora 选择的区域"},
        {ID_FILL_STOP, "停止 velmora"},
        {ID_VIEW_ZOOM_IN, "放大"},
        {ID_VIEW_ZOOM_OUT, "缩小"},
        {ID_VIEW_ZOOM_NORMAL, "正常"},
        {ID_HELP_VIDEO, "在线视频教程\n视频教程"},

        // The application frame's command strings that the ribbon's tooltips use.
        {ID_FILE_OPEN, "打开一个现有文档\n打开"},
        {ID_FILE_SAVE, "保存当前文件\n保存"},
        {ID_FILE_SAVE_AS, "保存当前文档\n另存为"},
        {ID_EDIT_UNDO, "撤消最后的动作\n撤消"},
        {ID_EDIT_REDO, "重做之前的动作\n重做"},
        {ID_APP_ABOUT, "显示程序信息,版本号和版权\n关于"},
        {ID_APP_EXIT, "退出程序并提示保存文件\n退出"},
        {ID_HELP_FINDER, "帮助主题列表\n帮助主题"},

        // The application frame's texts on this program's paths.
        {AFX_IDS_OPENFILE, "打开"},
        {AFX_IDS_SAVEFILE, "另存为"},
        {AFX_IDS_ALLFILTER, "所有文件 (*.*)"},
        {AFX_IDS_UNTITLED, "未命名"},
        {AFX_IDP_ASK_TO_SAVE, "保存改变到 %1 ?"},
        {AFX_IDP_FAILED_TO_LAUNCH_HELP, "启动帮助失败。"},
    };
    return table;
}

}  // namespace

QString LoadString(int id) {
    const auto found = Table().find(id);
    return found == Table().end() ? QString() : QString::fromUtf8(found->second);
}

CommandString LoadCommandString(int id) {
    const QString text = LoadString(id);
    const qsizetype lineBreak = text.indexOf(u'\n');
    if (lineBreak < 0) return {text, QString()};
    return {text.left(lineBreak), text.mid(lineBreak + 1)};
}

QString CaptionOf(const QString& text) {
    const qsizetype lineBreak = text.indexOf(u'\n');
    return lineBreak < 0 ? text : text.left(lineBreak);
}

QString PlainLabel(const QString& label) {
    QString plain = label.section(u'\t', 0, 0);
    static const QRegularExpression accessKey(QStringLiteral("\\(&.\\)"));
    plain.remove(accessKey);
    return plain.remove(u'&');
}

}  // namespace velmora
