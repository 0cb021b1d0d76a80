// Start-up with and without a picture, a bad path, the About box and the help page.
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include "app/about_dialog.h"
#include "app/help_launcher.h"
#include "app/mainframe.h"
#include "app/res/images.h"
#include "app_test_support.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/ribbon_status_bar.h"
#include "view/velmora_view.h"

namespace velmora {

using testing::SamplePicture;
using testing::TestProgram;
using testing::WritePicture;

class StartupTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    int settingsCount_ = 0;
    QString FreshSettings() {
        return dir_.filePath(QStringLiteral("s%1.conf").arg(++settingsCount_));
    }

  private slots:
    void withoutArguments() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        CMainFrame* frame = program.App().MainFrame();
        QVERIFY(frame != nullptr && frame->isVisible());
        QVERIFY(!program.App().Document()->HasImage());
        QCOMPARE(frame->windowTitle(), QStringLiteral("未命名[*] - Velmora"));
        QVERIFY(!frame->isWindowModified());
        QCOMPARE(frame->StatusBar()->ElementCount(), 0);
        QCOMPARE(frame->centralWidget(), static_cast<QWidget*>(program.App().View()));
        QVERIFY(program.App().RecentFiles().Entries().isEmpty());
        QVERIFY(program.Messages().errors.isEmpty());
    }

    void withAPicture() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start({SamplePicture()}));
        QVERIFY(program.App().MainFrame()->isVisible());
        QCOMPARE(program.App().Document()->ImageSize(), QSize(1280, 800));
        QCOMPARE(program.App().MainFrame()->windowTitle(),
                 QStringLiteral("ladybird.jpg[*] - Velmora"));
        QCOMPARE(program.App().RecentFiles().Entries(), QStringList({SamplePicture()}));
        QVERIFY(program.Messages().errors.isEmpty());
    }

    void withABadPathEndsWithoutAWindow() {
        TestProgram program(FreshSettings());
        const int windowsBefore = static_cast<int>(QApplication::topLevelWidgets().size());
        QVERIFY(!program.Start({dir_.filePath(QStringLiteral("missing.png"))}));
        QCOMPARE(program.Messages().errors.size(), 1);  // reported once
        QVERIFY(program.App().MainFrame() == nullptr);
        QVERIFY(program.App().Document() == nullptr);
        QCOMPARE(static_cast<int>(QApplication::topLevelWidgets().size()), windowsBefore);
        QVERIFY(program.App().RecentFiles().Entries().isEmpty());
    }

    void notAPictureIsReportedOnce() {
        const QString text = dir_.filePath(QStringLiteral("notes.png"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
        file.close();
        TestProgram program(FreshSettings());
        QVERIFY(!program.Start({text}));
        QCOMPARE(program.Messages().errors, QStringList({QStringLiteral("无法打开图像!")}));
    }

    void fifthOpenedFileDropsTheOldest() {
        QTemporaryDir pictures;
        QStringList paths;
        for (int i = 1; i <= 5; ++i)
            paths << WritePicture(pictures, QStringLiteral("p%1.png").arg(i), QColor(i * 40, 0, 0));
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        for (const QString& path : paths) QVERIFY(program.App().OpenDocumentFile(path));
        QCOMPARE(program.App().RecentFiles().Entries(),
                 QStringList({paths[4], paths[3], paths[2], paths[1]}));
        // The application menu's entries follow, newest first.
        program.App().MainFrame()->RefreshRecentFiles();
        QAction* first = program.App().Router().Action(ID_FILE_MRU_FILE1);
        QVERIFY(first->isVisible());
        QVERIFY(first->text().endsWith(QStringLiteral("p5.png")));
        // A recent file that has gone leaves the list when chosen.
        QVERIFY(QFile::remove(paths[1]));
        program.Refresh();
        QVERIFY(program.App().Router().Execute(ID_FILE_MRU_FILE1 + 3));
        QCOMPARE(program.App().RecentFiles().Size(), 3);
        QVERIFY(!program.App().Router().Query(ID_FILE_MRU_FILE1 + 3).enabled());
        QVERIFY(!program.App().Router().Action(ID_FILE_MRU_FILE1 + 3)->isVisible());
    }

    void modifiedPictureAsksBeforeItIsReplaced() {
        QTemporaryDir pictures;
        const QString first = WritePicture(pictures, QStringLiteral("a.png"), Qt::green);
        const QString second = WritePicture(pictures, QStringLiteral("b.png"), Qt::yellow);
        TestProgram program(FreshSettings());
        QVERIFY(program.Start({first}));
        program.App().Document()->SetModifiedFlag(true);
        program.Prompts().saveChangesAnswer = UserPrompts::SaveChanges::Cancel;
        QVERIFY(!program.App().OpenDocumentFile(second));
        QCOMPARE(program.Prompts().saveChangesAsked,
                 QStringList({QDir::toNativeSeparators(first)}));
        QCOMPARE(program.App().Document()->PathName(), first);
        // Cancelling the close keeps the window.
        QVERIFY(!program.App().MainFrame()->close());
        QVERIFY(program.App().MainFrame()->isVisible());
        program.Prompts().saveChangesAnswer = UserPrompts::SaveChanges::Discard;
        QVERIFY(program.App().OpenDocumentFile(second));
        QCOMPARE(program.App().Document()->PathName(), second);
    }

    void droppedFileTakesTheWayOfOpen() {
        QTemporaryDir pictures;
        const QString first = WritePicture(pictures, QStringLiteral("first.png"), Qt::green);
        const QString dropped = WritePicture(pictures, QStringLiteral("dropped.png"), Qt::cyan);
        TestProgram program(FreshSettings());
        QVERIFY(program.Start({first}));
        program.App().Document()->SetModifiedFlag(true);
        const auto drop = [&] {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(dropped)});
            // A drop reaches the widget that accepted the drag's entry.
            QWidget* canvas = program.App().View()->viewport();
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(canvas, &enter);
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(canvas, &event);
        };
        // The modified picture is not dropped without asking.
        program.Prompts().saveChangesAnswer = UserPrompts::SaveChanges::Cancel;
        drop();
        QCOMPARE(program.Prompts().saveChangesAsked.size(), 1);
        QCOMPARE(program.App().Document()->PathName(), first);
        program.Prompts().saveChangesAnswer = UserPrompts::SaveChanges::Discard;
        drop();
        QCOMPARE(program.App().Document()->PathName(), dropped);
        QCOMPARE(program.App().RecentFiles().Entries().first(), dropped);
    }

    void aboutBoxContents() {
        TestProgram program(FreshSettings());
        QVERIFY(program.Start());
        QString caption;
        QStringList labels;
        QStringList buttons;
        QRect web;
        QRect mail;
        int labelWithIcon = 0;
        program.Prompts().onModal = [&](QDialog& dialog) {
            caption = dialog.windowTitle();
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                if (!label->pixmap().isNull())
                    ++labelWithIcon;
                else
                    labels << label->text();
            }
            for (const QPushButton* button : dialog.findChildren<QPushButton*>())
                buttons << button->text();
            auto& about = static_cast<CAboutDlg&>(dialog);
            web = about.WebLink()->geometry();
            mail = about.MailLink()->geometry();
            QTest::mouseClick(about.WebLink(), Qt::LeftButton);
            QTest::mouseClick(about.MailLink(), Qt::LeftButton);
            QVERIFY(dialog.isVisible());  // the links leave it open
        };
        QVERIFY(program.App().Router().Execute(ID_APP_ABOUT));
        QCOMPARE(program.Prompts().modalShown, 1);
        QCOMPARE(caption, QStringLiteral("关于 Velmora"));
        QCOMPARE(labelWithIcon, 1);
        QVERIFY(labels.contains(QStringLiteral("Halvard Velmora, Version 2.4")));
        QCOMPARE(labels.size(), 2);
        buttons.sort();
        QStringList expected = {"确定", "访问: 官方网站", "E-MAIL: 写信给作者"};
        expected.sort();
        QCOMPARE(buttons, expected);
        QCOMPARE(program.Prompts().openedUrls.size(), 2);
        QCOMPARE(program.Prompts().openedUrls[0].scheme(), QStringLiteral("https"));
        QCOMPARE(program.Prompts().openedUrls[1].scheme(), QStringLiteral("mailto"));
        // The links are sized to their text from their places in the layout: the web link's
        // left edge stands right of the mail link's, as in the template.
        QVERIFY(web.left() > mail.left());
        QVERIFY(web.top() < mail.top());
        QVERIFY(web.width() <
                QFontMetrics(QApplication::font()).horizontalAdvance("访问: 官方网站") + 20);
    }

    void aboutBoxOkCloses() {
        CAboutDlg about([](const QUrl&) { return true; });
        about.show();
        QPushButton* ok = nullptr;
        for (QPushButton* button : about.findChildren<QPushButton*>())
            if (button->isDefault()) ok = button;
        QVERIFY(ok != nullptr);
        QCOMPARE(ok->text(), QStringLiteral("确定"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
        QCOMPARE(about.WebAddress().scheme(), QStringLiteral("https"));
        QVERIFY(about.MailAddress().toString().startsWith(QStringLiteral("mailto:")));
    }

    void helpOpensThePageBesideTheProgram() {
        QTemporaryDir install;
        QVERIFY(QDir(install.path()).mkpath(QStringLiteral("bin")));
        const QString program = install.filePath(QStringLiteral("bin/velmora"));
        QList<QUrl> opened;
        QStringList failures;
        const HelpLauncher help(
            program,
            [&](const QUrl& url) {
                opened << url;
                return true;
            },
            [&](const QString& text) { failures << text; });
        // None there yet: reported, and the program goes on.
        QVERIFY(!help.ShowHelp());
        QCOMPARE(failures, QStringList({QStringLiteral("启动帮助失败。")}));
        QVERIFY(opened.isEmpty());

        // Installed under share/velmora/help.
        QVERIFY(QDir(install.path()).mkpath(QStringLiteral("share/velmora/help")));
        QFile page(install.filePath(QStringLiteral("share/velmora/help/velmora.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        QVERIFY(help.ShowHelp());
        QCOMPARE(opened.last(), QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath()));
    }

    void helpCommandsFromTheProgram() {
        TestProgram program(FreshSettings(), QStringLiteral(VELMORA_HELP_PROGRAM));
        QVERIFY(program.Start());
        QVERIFY(program.App().Router().Execute(ID_HELP_FINDER));
        QVERIFY(program.App().Router().Execute(ID_HELP));
        QCOMPARE(program.Prompts().openedUrls.size(), 2);
        QVERIFY(
            program.Prompts().openedUrls[0].toLocalFile().endsWith(QStringLiteral("velmora.html")));
        QVERIFY(QFile::exists(program.Prompts().openedUrls[0].toLocalFile()));
        // The desktop cannot start it: the failure is told and nothing else happens.
        program.Prompts().openUrlSucceeds = false;
        QVERIFY(program.App().Router().Execute(ID_DEFAULT_HELP));
        QCOMPARE(program.Messages().errors, QStringList({QStringLiteral("启动帮助失败。")}));
        QVERIFY(program.App().MainFrame()->isVisible());
    }

    void helpPageIsChinese() {
        QFile page(QStringLiteral(VELMORA_SOURCE_DIR "/src/app/help/velmora.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        QVERIFY(text.contains(QStringLiteral("lang=\"zh-CN\"")));
        QVERIFY(text.contains(QStringLiteral("擦除")));
    }

    void helpPageSaysHowTheLookIsChosen() {
        // The page's own example, written where it says, gives the look it names.
        QFile page(QStringLiteral(VELMORA_SOURCE_DIR "/src/app/help/velmora.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const QString example = QStringLiteral("[Workspace]\nApplicationLook=212");
        QVERIFY(text.contains(example));
        QVERIFY(text.contains(QStringLiteral("~/.config/Halvard/Velmora.conf")));
        QVERIFY(text.contains(QStringLiteral("<td>212</td><td>Windows XP</td>")));

        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("Velmora.conf"));
        QFile file(settings);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(example.toUtf8() + "\n");
        file.close();
        TestProgram program(settings);
        QVERIFY(program.Start());
        QCOMPARE(program.App().m_nVisualStyle, 212);
        QCOMPARE(QApplication::style()->name().toLower(), QStringLiteral("windows"));
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::StartupTest)
#include "startup_test.moc"
