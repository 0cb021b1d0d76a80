// The program's resources: texts, document string, menus, accelerators, pictures and version.
#include <QApplication>
#include <QTest>
#include <set>

#include "app/res/accelerators.h"
#include "app/res/document_string.h"
#include "app/res/images.h"
#include "app/res/menus.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "app/res/version_info.h"
#include "app/ribbon_layout.h"
#include "platform/command_ids.h"

namespace velmora {

class ResourcesTest : public QObject {
    Q_OBJECT

  private slots:
    void commandStringsSplitIntoDescriptionAndTitle() {
        const CommandString rectangle = LoadCommandString(ID_TOOL_RECTANGLE);
        QCOMPARE(rectangle.description, QStringLiteral("选择矩形"));
        QCOMPARE(rectangle.title, QStringLiteral("矩形工具"));
        const CommandString fill = LoadCommandString(ID_FILL_START);
        QCOMPARE(fill.description, QStringLiteral("Velmora 选择的区域"));
        QVERIFY(fill.title.isEmpty());
        QVERIFY(LoadString(ID_TOOL_MOVE).isEmpty());  // the move tool has no string
        QVERIFY(LoadString(12345).isEmpty());
    }

    void tooltipsTakeTitleAndDescription() {
        QCOMPARE(RibbonToolTip(ID_EDIT_UNDO, IDS_UNDO),
                 QStringLiteral("<b>撤消</b><br>撤消最后的动作"));
        // Without a title part the button's label is the title.
        QCOMPARE(RibbonToolTip(ID_FILL_START, IDS_ERASE),
                 QStringLiteral("<b>擦除</b><br>Velmora 选择的区域"));
        QCOMPARE(RibbonToolTip(ID_VIEW_ZOOM_NORMAL, IDS_ZOOM_NORMAL),
                 QStringLiteral("<b>正常</b>"));
        QCOMPARE(RibbonToolTip(ID_HELP_FINDER, IDS_HELP),
                 QStringLiteral("<b>帮助主题</b><br>帮助主题列表"));
    }

    void panelCaptionStopsAtTheLineBreak() {
        QCOMPARE(CaptionOf(LoadString(IDS_FILL_PANEL)), QStringLiteral("Velmora"));
        QCOMPARE(PlainLabel(QStringLiteral("打开(&O)...\tCtrl+O")), QStringLiteral("打开..."));
        QCOMPARE(PlainLabel(QStringLiteral("保存(&S)")), QStringLiteral("保存"));
    }

    void documentStringGivesTheDialogFilters() {
        const DocumentString document = DocumentString::Load();
        QCOMPARE(document.windowTitle, QStringLiteral("Velmora"));
        QVERIFY(document.docName.isEmpty());
        QCOMPARE(document.filterName,
                 QStringLiteral("图像文件 (*.jpeg;*.bmp;*.png;*.heic;*.avif)"));
        QCOMPARE(document.Extensions(), QStringList({".jpg", ".bmp", ".jpeg", ".jpe", ".jfif",
                                                     ".png", ".heic", ".heif", ".avif"}));
        QCOMPARE(document.regFileTypeName, QStringLiteral("Velmora.文档"));
        const QStringList filters = document.DialogFilters();
        QCOMPARE(filters.size(), 2);
        QVERIFY(filters[0].endsWith(
            QStringLiteral("(*.jpg *.bmp *.jpeg *.jpe *.jfif *.png *.heic *.heif *.avif)")));
        QVERIFY(filters[0].startsWith(document.filterName));
        QVERIFY(filters[1].startsWith(QStringLiteral("所有文件 (*.*)")));
        QCOMPARE(document.DefaultSuffix(), QStringLiteral("jpg"));
    }

    void shortDocumentStringLeavesFieldsEmpty() {
        const DocumentString partial = DocumentString::Parse(QStringLiteral("Title\n\nType"));
        QCOMPARE(partial.fileNewName, QStringLiteral("Type"));
        QVERIFY(partial.filterExtensions.isEmpty());
        QCOMPARE(partial.DialogFilters().size(), 1);  // only all files
    }

    void mainMenuListsEveryCommand() {
        const std::vector<MenuItem>& menu = MainMenu();
        QCOMPARE(menu.size(), std::size_t{6});
        QStringList popups;
        for (const MenuItem& popup : menu) popups << popup.label;
        QCOMPARE(popups, QStringList({"文件(&F)", "编辑(&E)", "选择(&S)", "查看(&V)", "帮助(&H)",
                                      "Velmora(&I)"}));
        QCOMPARE(FindMenuItem(menu, ID_FILE_OPEN)->label, QStringLiteral("打开(&O)...\tCtrl+O"));
        QVERIFY(FindMenuItem(menu, ID_FILE_MRU_FILE1)->grayed);
        QCOMPARE(FindMenuItem(menu, ID_VIEW_ZOOM_NORMAL)->label,
                 QStringLiteral("正常查看(1:1)\t\\"));
        QCOMPARE(FindMenuItem(menu, ID_VIEW_APPLOOK_OFF_2007_AQUA)->label,
                 QStringLiteral("浅绿风格(&A)"));
        for (int style = ID_VIEW_APPLOOK_WIN_2000; style <= ID_VIEW_APPLOOK_OFF_2007_AQUA; ++style)
            QVERIFY2(FindMenuItem(menu, style) != nullptr, qPrintable(QString::number(style)));
        QCOMPARE(FindMenuItem(menu, ID_FILL_STOP)->label, QStringLiteral("停止(&S)"));
        QVERIFY(FindMenuItem(menu, ID_FILE_NEW) == nullptr);  // reached by Ctrl+N only

        const MenuItem& edit = EditPopup();
        QCOMPARE(edit.label, LoadString(IDS_EDIT_MENU));
        QCOMPARE(edit.children.size(), std::size_t{3});
        QCOMPARE(edit.children[2].command, ID_EDIT_PASTE);
    }

    void acceleratorTableInItsOrder() {
        const std::vector<Accelerator>& table = MainAccelerators();
        QCOMPARE(table.size(), std::size_t{18});
        QCOMPARE(table.front().command, ID_CONTEXT_HELP);
        QCOMPARE(QKeySequence(table.front().keys), QKeySequence(QStringLiteral("Shift+F1")));
        QCOMPARE(table.back().command, ID_EDIT_REDO);
        std::set<int> keys;
        int undoKeys = 0;
        for (const Accelerator& accelerator : table) {
            QVERIFY2(keys.insert(accelerator.keys.toCombined()).second, "a key bound twice");
            if (accelerator.command == ID_EDIT_UNDO) ++undoKeys;
        }
        QCOMPARE(undoKeys, 2);
    }

    void everyRibbonEntryHasBothPictureSizes() {
        std::vector<RibbonEntry> entries = ApplicationMenuEntries();
        entries.push_back(ApplicationMenuExit());
        for (const RibbonPanelLayout& panel : MainScreenPanels())
            entries.insert(entries.end(), panel.buttons.begin(), panel.buttons.end());
        QCOMPARE(entries.size(), std::size_t{15});
        for (const RibbonEntry& entry : entries) {
            const QIcon icon = CommandIcon(QString::fromLatin1(entry.picture));
            QVERIFY2(!icon.isNull(), entry.picture);
            const QList<QSize> sizes = icon.availableSizes();
            QVERIFY2(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)), entry.picture);
            QVERIFY2(!LoadString(entry.label).isEmpty(), entry.picture);
        }
        QVERIFY(CommandIcon(QStringLiteral("no-such-picture")).isNull());
        QVERIFY(ProgramIcon().availableSizes().contains(QSize(256, 256)));
        QCOMPARE(ApplicationButtonIcon().availableSizes().value(0), QSize(26, 26));
    }

    void versionBlock() {
        QCOMPARE(QString::fromLatin1(kFileVersion), QStringLiteral("2.4.1.0"));
        QCOMPARE(QString::fromUtf8(kFileDescription), QStringLiteral("图像去水印软件"));
        QCOMPARE(QString::fromLatin1(kOriginalFilename), QStringLiteral("Velmora.exe"));
        QCOMPARE(kVersionMajor * 10 + kVersionMinor, 24);
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::ResourcesTest)
#include "resources_test.moc"
