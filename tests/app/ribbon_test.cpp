// The ribbon's elements and their enabling, the application menu, and the accelerators.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWhatsThis>
#include <QWidgetAction>

#include "app/mainframe.h"
#include "app/my_ribbon_bar.h"
#include "app/ribbon/ribbon_button.h"
#include "app/ribbon/ribbon_category.h"
#include "app/ribbon/ribbon_panel.h"
#include "app_test_support.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/ribbon_status_bar.h"
#include "view/velmora_view.h"

namespace velmora {

using testing::SamplePicture;
using testing::TestProgram;

namespace {

// Counts the context-menu events that reach a widget.
class ContextMenuCounter : public QObject {
  public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ContextMenu) ++count;
        return false;
    }
};

std::vector<int> Commands(const RibbonPanel& panel) {
    std::vector<int> ids;
    for (const RibbonButton* button : panel.Buttons()) ids.push_back(button->CommandId());
    return ids;
}

RibbonButton* FindButton(CMainFrame& frame, int command) {
    for (RibbonButton* button : frame.RibbonBar()->AllButtons())
        if (button->CommandId() == command) return button;
    return nullptr;
}

}  // namespace

class RibbonTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    int settingsCount_ = 0;
    QString FreshSettings() {
        return dir_.filePath(QStringLiteral("s%1.conf").arg(++settingsCount_));
    }
    // A copy of the sample the tests may overwrite.
    QString SampleCopy() {
        const QString copy = dir_.filePath(QStringLiteral("copy%1.png").arg(settingsCount_));
        QImage(SamplePicture()).save(copy);
        return copy;
    }
    // A closed square outline on the canvas, turned into the fill's masks.
    static void OutlineSquare(CVelmoraApp& app, int x, int y, int size) {
        CVelmoraDoc& document = *app.Document();
        document.ClearSelection();
        for (const QPoint p : {QPoint(x, y), QPoint(x + size, y), QPoint(x + size, y + size),
                               QPoint(x, y + size), QPoint(x, y)})
            document.AddPoint(p.x(), p.y());
        app.View()->BuildSelectionMasks(false);
    }
    static bool WaitForFillEnd(CVelmoraApp& app) {
        return QTest::qWaitFor([&] { return !app.Document()->Busy(); }, 600000);
    }

  private slots:
    void elementsInOrder() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMainFrame& frame = *program.App().MainFrame();
        CMyRibbonBar& ribbon = *frame.RibbonBar();
        QCOMPARE(ribbon.Categories().size(), std::size_t{1});
        QCOMPARE(ribbon.TabRow()->tabText(0), QStringLiteral("主界面"));
        const std::vector<RibbonPanel*>& panels = ribbon.Categories()[0]->Panels();
        QStringList captions;
        for (const RibbonPanel* panel : panels) captions << panel->Caption();
        QCOMPARE(captions, QStringList({"编辑", "缩放", "选择", "Velmora", "帮助"}));
        QCOMPARE(Commands(*panels[0]), std::vector<int>({ID_EDIT_UNDO, ID_EDIT_REDO}));
        QCOMPARE(Commands(*panels[1]),
                 std::vector<int>({ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_NORMAL, ID_VIEW_ZOOM_IN}));
        QCOMPARE(Commands(*panels[2]), std::vector<int>({ID_TOOL_RECTANGLE, ID_TOOL_POLYGON}));
        QCOMPARE(Commands(*panels[3]), std::vector<int>({ID_FILL_START, ID_FILL_STOP}));
        QCOMPARE(Commands(*panels[4]), std::vector<int>({ID_HELP_FINDER, ID_APP_ABOUT}));

        QStringList labels;
        for (const RibbonButton* button : ribbon.AllButtons()) {
            labels << button->text();
            QCOMPARE(button->iconSize(), QSize(32, 32));
            QVERIFY(button->icon().availableSizes().contains(QSize(16, 16)));
            QVERIFY(button->toolTip().startsWith(QStringLiteral("<b>")));
        }
        QCOMPARE(labels, QStringList({"撤消", "重做", "缩小图像", "正常", "放大图像", "矩形",
                                      "多边形", "擦除", "停止", "帮助", "关于"}));
        QCOMPARE(FindButton(frame, ID_TOOL_POLYGON)->toolTip(),
                 QStringLiteral("<b>多边形工具</b><br>选择多边形"));
        // Nothing of the tools without a button or of the styles is on the ribbon.
        for (const int absent : {ID_TOOL_SELECT, ID_TOOL_MOVE, ID_VIEW_APPLOOK_OFF_2007_BLUE})
            QVERIFY(FindButton(frame, absent) == nullptr);
    }

    void narrowWindowMakesPanelsCompactFromTheRight() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        RibbonCategory& category = *program.App().MainFrame()->RibbonBar()->Categories()[0];
        category.FitToWidth(5000);
        for (const RibbonPanel* panel : category.Panels()) QVERIFY(!panel->IsCompact());
        const int full = category.sizeHint().width();
        category.FitToWidth(full - 10);
        QVERIFY(category.Panels().back()->IsCompact());
        QVERIFY(!category.Panels().front()->IsCompact());
        QCOMPARE(category.Panels().back()->Buttons()[0]->iconSize(), QSize(16, 16));
    }

    void applicationButtonAndMenu() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMyRibbonBar& ribbon = *program.App().MainFrame()->RibbonBar();
        QCOMPARE(ribbon.ApplicationButton()->toolTip(), QStringLiteral("文件"));
        QVERIFY(ribbon.ApplicationButton()->text().isEmpty());
        QMenu* menu = ribbon.ApplicationMenu();
        QVERIFY(menu != nullptr);
        QStringList entries;
        for (const QAction* action : menu->actions()) {
            if (qobject_cast<const QWidgetAction*>(action) != nullptr)
                entries << action->text();
            else if (action->isSeparator())
                entries << (action->text().isEmpty() ? QStringLiteral("-") : action->text());
            else
                entries << QString::number(action->data().toInt());
        }
        const QStringList expected = {QString::number(ID_FILE_OPEN),
                                      QString::number(ID_FILE_SAVE),
                                      QString::number(ID_FILE_SAVE_AS),
                                      QStringLiteral("最近的文件"),
                                      QString::number(ID_FILE_MRU_FILE1),
                                      QString::number(ID_FILE_MRU_FILE1 + 1),
                                      QString::number(ID_FILE_MRU_FILE1 + 2),
                                      QString::number(ID_FILE_MRU_FILE1 + 3),
                                      QStringLiteral("-"),
                                      QString::number(ID_APP_EXIT)};
        QCOMPARE(entries, expected);
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("打开(&O)..."));
        QCOMPARE(menu->actions().last()->text(), QStringLiteral("退出(&X)"));
    }

    void recentFilesCaptionIsDrawnInEveryLook() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMainFrame& frame = *program.App().MainFrame();
        QMenu* menu = frame.RibbonBar()->ApplicationMenu();
        for (const int look : {ID_VIEW_APPLOOK_WIN_2000, ID_VIEW_APPLOOK_WIN_XP,
                               ID_VIEW_APPLOOK_OFF_2007_BLUE, ID_VIEW_APPLOOK_OFF_2007_BLACK}) {
            frame.OnVisualStyle(look);
            menu->popup(frame.mapToGlobal(QPoint(10, 10)));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            auto* caption = menu->findChild<QLabel*>(QStringLiteral("menuCaption"));
            QVERIFY(caption != nullptr);
            QVERIFY2(caption->isVisible(), qPrintable(QString::number(look)));
            QCOMPARE(caption->text(), QStringLiteral("最近的文件"));
            QVERIFY(caption->isEnabled());
            // Ink of the text colour on the caption: the words are on screen, not just in a
            // property.
            const QImage picture = caption->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QColor ink = caption->palette().color(QPalette::WindowText);
            const QColor paper = menu->palette().color(QPalette::Window);
            int inked = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor c = picture.pixelColor(x, y);
                    const int toInk = std::abs(c.red() - ink.red()) +
                                      std::abs(c.green() - ink.green()) +
                                      std::abs(c.blue() - ink.blue());
                    const int toPaper = std::abs(c.red() - paper.red()) +
                                        std::abs(c.green() - paper.green()) +
                                        std::abs(c.blue() - paper.blue());
                    if (toInk < toPaper) ++inked;
                }
            QVERIFY2(inked > 20,
                     qPrintable(QStringLiteral("look %1: %2 inked pixels").arg(look).arg(inked)));
            menu->hide();
        }
    }

    void hoverTextLeavesWhenAModalWindowComesAndGoes() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMainFrame& frame = *program.App().MainFrame();
        RibbonButton* undo = FindButton(frame, ID_EDIT_UNDO);
        QVERIFY(undo != nullptr);
        // Hovering a button shows its description; a modal window then opens and the pointer
        // never comes back over the button.
        QStatusTipEvent hover(undo->defaultAction()->statusTip());
        QApplication::sendEvent(undo, &hover);
        QCOMPARE(frame.StatusBar()->currentMessage(), QStringLiteral("撤消最后的动作"));
        {
            QDialog dialog(&frame);
            dialog.setModal(true);
            dialog.show();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        QVERIFY(frame.StatusBar()->currentMessage().isEmpty());

        // A notice in the same place is not hover text and stays.
        frame.StatusBar()->showMessage(QStringLiteral("已转换"), 10000);
        {
            QDialog dialog(&frame);
            dialog.setModal(true);
            dialog.show();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        QCOMPARE(frame.StatusBar()->currentMessage(), QStringLiteral("已转换"));
    }

    void rightClickOpensNoMenu() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMainFrame& frame = *program.App().MainFrame();
        ContextMenuCounter counter;
        frame.installEventFilter(&counter);
        QWidget* targets[] = {FindButton(frame, ID_APP_ABOUT), frame.RibbonBar(),
                              frame.RibbonBar()->TabRow()};
        for (QWidget* target : targets) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3),
                                    target->mapToGlobal(QPoint(3, 3)));
            QApplication::sendEvent(target, &event);
            QVERIFY(event.isAccepted());
        }
        QCOMPARE(counter.count, 0);  // never passed on to the window's own menu
        QVERIFY(QApplication::activePopupWidget() == nullptr);
    }

    void enablingFollowsTheDocument() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CVelmoraApp& app = program.App();
        CMainFrame& frame = *app.MainFrame();
        const auto enabled = [&](int command) {
            program.Refresh();
            QAction* action = app.Router().Action(command);
            RibbonButton* button = FindButton(frame, command);
            if (button != nullptr && button->isEnabled() != action->isEnabled()) return -1;
            return action->isEnabled() ? 1 : 0;
        };
        // No picture: only Open, Help, About and Exit.
        for (const int off : {ID_EDIT_UNDO, ID_EDIT_REDO, ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_NORMAL,
                              ID_VIEW_ZOOM_IN, ID_TOOL_RECTANGLE, ID_TOOL_POLYGON, ID_FILL_START,
                              ID_FILL_STOP, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_MRU_FILE1})
            QVERIFY2(enabled(off) == 0, qPrintable(QString::number(off)));
        for (const int on : {ID_FILE_OPEN, ID_HELP_FINDER, ID_APP_ABOUT, ID_APP_EXIT})
            QVERIFY2(enabled(on) == 1, qPrintable(QString::number(on)));
        QVERIFY(FindButton(frame, ID_TOOL_POLYGON)->isChecked());  // checked though disabled

        QVERIFY(app.OpenDocumentFile(SampleCopy()));
        for (const int on : {ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_IN, ID_TOOL_RECTANGLE, ID_TOOL_POLYGON,
                             ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_MRU_FILE1})
            QVERIFY2(enabled(on) == 1, qPrintable(QString::number(on)));
        for (const int off : {ID_VIEW_ZOOM_NORMAL, ID_FILL_START, ID_FILL_STOP, ID_EDIT_UNDO})
            QVERIFY2(enabled(off) == 0, qPrintable(QString::number(off)));

        QTest::mouseClick(FindButton(frame, ID_TOOL_RECTANGLE), Qt::LeftButton);
        QCOMPARE(app.Document()->GetToolMode(), TOOL_RECTANGLE);
        program.Refresh();
        QVERIFY(FindButton(frame, ID_TOOL_RECTANGLE)->isChecked());
        QVERIFY(!FindButton(frame, ID_TOOL_POLYGON)->isChecked());
        QTest::mouseClick(FindButton(frame, ID_VIEW_ZOOM_IN), Qt::LeftButton);
        QCOMPARE(app.Document()->ZoomFactor(), 1.5f);
        QCOMPARE(enabled(ID_VIEW_ZOOM_NORMAL), 1);

        OutlineSquare(app, 600, 300, 60);
        QCOMPARE(enabled(ID_FILL_START), 1);
        app.Document()->SetSeedClock([] { return 7u; });
        QTest::mouseClick(FindButton(frame, ID_FILL_START), Qt::LeftButton);
        QVERIFY(app.Document()->Busy());
        // While the fill runs only Stop among the picture's commands, and nothing that replaces
        // the picture.
        QCOMPARE(enabled(ID_FILL_STOP), 1);
        for (const int off : {ID_FILL_START, ID_EDIT_UNDO, ID_VIEW_ZOOM_IN, ID_TOOL_RECTANGLE,
                              ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_NEW, ID_FILE_MRU_FILE1})
            QVERIFY2(enabled(off) == 0, qPrintable(QString::number(off)));
        for (const int on : {ID_HELP_FINDER, ID_APP_ABOUT})
            QVERIFY2(enabled(on) == 1, qPrintable(QString::number(on)));
        QVERIFY(WaitForFillEnd(app));
        QCOMPARE(enabled(ID_EDIT_UNDO), 1);
        QCOMPARE(enabled(ID_FILL_STOP), 0);
        QVERIFY(frame.isWindowModified());
    }

    void acceleratorsReachTheirCommandsAndNeverADisabledOne() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CVelmoraApp& app = program.App();
        CMainFrame& frame = *app.MainFrame();
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        QSignalSpy delivered(&app.Router(), &CommandRouter::commandDelivered);
        const auto press = [&](QKeyCombination keys) {
            delivered.clear();
            program.Refresh();
            QTest::keyClick(&frame, keys.key(), keys.keyboardModifiers());
            return delivered.isEmpty() ? 0 : delivered.takeFirst().at(0).toInt();
        };

        // Disabled without a picture: the keys do nothing.
        QCOMPARE(press(Qt::CTRL | Qt::Key_S), 0);
        QCOMPARE(press(Qt::CTRL | Qt::Key_Z), 0);
        QCOMPARE(program.Prompts().saveAsked, 0);
        QCOMPARE(press(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN);
        QCOMPARE(program.Prompts().openAsked, 1);

        const QString path = SampleCopy();
        program.Prompts().openPath = path;
        QCOMPARE(press(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN);
        QCOMPARE(app.Document()->PathName(), path);

        OutlineSquare(app, 100, 100, 40);
        app.Document()->SetSeedClock([] { return 11u; });
        QVERIFY(app.Router().Execute(ID_FILL_START));
        QVERIFY(WaitForFillEnd(app));
        QCOMPARE(press(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO);
        QCOMPARE(app.Document()->History().CanUndo(), false);
        QCOMPARE(press(Qt::ALT | Qt::Key_Backspace), 0);  // nothing left to undo
        QCOMPARE(press(Qt::CTRL | Qt::Key_Y), ID_EDIT_REDO);
        QCOMPARE(press(Qt::CTRL | Qt::Key_Y), 0);
        QCOMPARE(press(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO);
        QCOMPARE(press(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE);
        QVERIFY(!app.Document()->IsModified());
        QCOMPARE(program.Prompts().saveAsked, 0);  // saved under its own name

        // Keys of commands nobody handles do nothing.
        for (const QKeyCombination keys :
             {QKeyCombination(Qt::Key_Delete), Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert,
              Qt::SHIFT | Qt::Key_Delete, Qt::CTRL | Qt::Key_X, Qt::CTRL | Qt::Key_V,
              Qt::SHIFT | Qt::Key_Insert, Qt::CTRL | Qt::Key_P})
            QCOMPARE(press(keys), 0);

        QCOMPARE(press(QKeyCombination(Qt::Key_F1)), ID_HELP);
        QCOMPARE(program.Prompts().openedUrls.size() + program.Messages().errors.size(), 1);
        QCOMPARE(press(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP);
        QVERIFY(QWhatsThis::inWhatsThisMode());
        QWhatsThis::leaveWhatsThisMode();
        QCOMPARE(press(QKeyCombination(Qt::Key_F6)), ID_NEXT_PANE);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(app.View()));

        app.Document()->SetModifiedFlag(true);
        QCOMPARE(press(Qt::CTRL | Qt::Key_N), ID_FILE_NEW);
        QCOMPARE(program.Prompts().saveChangesAsked.size(), 1);
        QVERIFY(!app.Document()->IsModified());
        QVERIFY(app.Document()->PathName().isEmpty());
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::RibbonTest)
#include "ribbon_test.moc"
