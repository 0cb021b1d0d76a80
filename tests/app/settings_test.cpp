// Settings, recent files and visual styles: written, read back, and applied at start.
#include <QApplication>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/recent_file_list.h"
#include "app/visual_styles.h"
#include "app_test_support.h"
#include "platform/command_ids.h"

namespace velmora {

using testing::TestProgram;
using testing::WritePicture;

class SettingsTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString SettingsFile(const char* name) const {
        return dir_.filePath(QString::fromLatin1(name));
    }
    static QVariant Stored(const QString& file, const QString& key) {
        return QSettings(file, QSettings::IniFormat).value(key);
    }

  private slots:
    void keysAndDefaults() {
        const QString file = SettingsFile("keys.conf");
        {
            AppSettings settings(file);
            QCOMPARE(settings.ReadVisualStyle(), 215);
            QVERIFY(settings.ReadRecentFiles().isEmpty());
            settings.WriteVisualStyle(217);
            settings.WriteRecentFiles({"/a/one.png", "/b/two.jpg"});
            settings.Sync();
        }
        QCOMPARE(Stored(file, "Workspace/ApplicationLook").toInt(), 217);
        QCOMPARE(Stored(file, "最近文件列表/文件1").toString(), QStringLiteral("/a/one.png"));
        QCOMPARE(Stored(file, "最近文件列表/文件2").toString(), QStringLiteral("/b/two.jpg"));
        QVERIFY(!Stored(file, "最近文件列表/文件3").isValid());

        AppSettings again(file);
        QCOMPARE(again.ReadVisualStyle(), 217);
        QCOMPARE(again.ReadRecentFiles(), QStringList({"/a/one.png", "/b/two.jpg"}));
        // A shorter list removes the entries it no longer has.
        again.WriteRecentFiles({"/c/three.bmp"});
        again.Sync();
        QVERIFY(!Stored(file, "最近文件列表/文件2").isValid());
    }

    void unreadableStyleGivesTheDefault() {
        const QString file = SettingsFile("garbage.conf");
        QSettings(file, QSettings::IniFormat).setValue("Workspace/ApplicationLook", "blue");
        QCOMPARE(AppSettings(file).ReadVisualStyle(), 215);
    }

    void fifthFileDropsTheOldest() {
        RecentFileList recent(4);
        for (const char* name : {"/p/1.png", "/p/2.png", "/p/3.png", "/p/4.png"})
            recent.Add(QString::fromLatin1(name));
        recent.Add(QStringLiteral("/p/5.png"));
        QCOMPARE(recent.Entries(), QStringList({"/p/5.png", "/p/4.png", "/p/3.png", "/p/2.png"}));
        // Opening a listed file again moves it up instead of doubling it.
        recent.Add(QStringLiteral("/p/3.png"));
        QCOMPARE(recent.Entries(), QStringList({"/p/3.png", "/p/5.png", "/p/4.png", "/p/2.png"}));
        recent.Add(QStringLiteral("/p/sub/../2.png"));
        QCOMPARE(recent.Entries().first(), QStringLiteral("/p/2.png"));
        QCOMPARE(recent.Size(), 4);
        recent.Remove(0);
        QCOMPARE(recent.Entries().first(), QStringLiteral("/p/3.png"));
        recent.Remove(7);  // out of range: nothing
        QCOMPARE(recent.Size(), 3);
    }

    void menuTextIsNumberedAndShort() {
        RecentFileList recent(4);
        recent.Add(QStringLiteral("/home/someone/Pictures/holidays/2024/beach-with-seagulls.jpg"));
        recent.Add(QStringLiteral("/tmp/a&b.png"));
        QCOMPARE(recent.MenuText(0), QStringLiteral("&1 /tmp/a&&b.png"));
        const QString second = recent.MenuText(1);
        QVERIFY(second.startsWith(QStringLiteral("&2 ")));
        QVERIFY(second.endsWith(QStringLiteral("beach-with-seagulls.jpg")));
        QVERIFY(second.size() - 3 <= 30);
        QCOMPARE(AbbreviatePath(QStringLiteral("/a/very/long/folder/x.png"), 14),
                 QStringLiteral("/.../x.png"));
        QCOMPARE(AbbreviatePath(QStringLiteral("/short.png"), 30), QStringLiteral("/short.png"));
        QCOMPARE(
            AbbreviatePath(QStringLiteral("/d/an-extremely-long-file-name-indeed.png"), 10).size(),
            10);
    }

    void programWritesAndReadsBackItsSettings() {
        const QString file = SettingsFile("program.conf");
        QTemporaryDir pictures;
        const QString first = WritePicture(pictures, "first.png", Qt::red);
        const QString second = WritePicture(pictures, "second.png", Qt::blue);
        {
            TestProgram program(file);
            QVERIFY(program.Start({first}));
            QVERIFY(program.App().OpenDocumentFile(second));
            QVERIFY(program.App().Router().Execute(ID_VIEW_APPLOOK_OFF_2007_BLACK));
            program.App().MainFrame()->resize(900, 640);
            program.App().MainFrame()->close();
            program.App().ExitInstance();
        }
        QCOMPARE(Stored(file, "Workspace/ApplicationLook").toInt(), 216);
        QCOMPARE(Stored(file, "最近文件列表/文件1").toString(), second);
        QCOMPARE(Stored(file, "最近文件列表/文件2").toString(), first);

        TestProgram again(file);
        QVERIFY(again.Start());
        QCOMPARE(again.App().m_nVisualStyle, 216);
        QCOMPARE(again.App().RecentFiles().Entries(), QStringList({second, first}));
        QCOMPARE(again.App().MainFrame()->size(), QSize(900, 640));
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 LookFor(216, 215).palette.color(QPalette::Window));
    }

    void noStoredStyleStartsBlueAndStoresIt() {
        const QString file = SettingsFile("fresh.conf");
        TestProgram program(file);
        QVERIFY(program.Start());
        QCOMPARE(program.App().m_nVisualStyle, 215);
        program.App().Settings().Sync();
        QCOMPARE(Stored(file, "Workspace/ApplicationLook").toInt(), 215);
        QVERIFY(program.App().Router().Query(ID_VIEW_APPLOOK_OFF_2007_BLUE).checked());
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
    }

    void styleOutsideTheRangeKeepsTheDefaultLookAndIsWrittenBack() {
        const QString file = SettingsFile("odd.conf");
        QSettings(file, QSettings::IniFormat).setValue("Workspace/ApplicationLook", 300);
        TestProgram program(file);
        QVERIFY(program.Start());
        QCOMPARE(program.App().m_nVisualStyle, 300);
        program.App().Settings().Sync();
        QCOMPARE(Stored(file, "Workspace/ApplicationLook").toInt(), 300);
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 LookFor(215, 215).palette.color(QPalette::Window));
        for (int id = ID_VIEW_APPLOOK_WIN_2000; id <= ID_VIEW_APPLOOK_OFF_2007_AQUA; ++id)
            QVERIFY2(!program.App().Router().Query(id).checked(), qPrintable(QString::number(id)));
    }

    void styleCommandsSwitchTheLookAndTheRadioMark() {
        TestProgram program(SettingsFile("switch.conf"));
        QVERIFY(program.Start());
        CommandRouter& router = program.App().Router();
        QVERIFY(router.Execute(ID_VIEW_APPLOOK_WIN_XP));
        QCOMPARE(QApplication::style()->name(), QStringLiteral("windows"));
        QVERIFY(router.Query(ID_VIEW_APPLOOK_WIN_XP).checked());
        QVERIFY(!router.Query(ID_VIEW_APPLOOK_OFF_2007_BLUE).checked());
        QVERIFY(router.Execute(ID_VIEW_APPLOOK_OFF_2007_AQUA));
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
        QCOMPARE(program.App().Settings().ReadVisualStyle(), 218);
        // An unknown value afterwards keeps the Office 2007 colour last chosen.
        program.App().MainFrame()->OnVisualStyle(999);
        QCOMPARE(QApplication::palette().color(QPalette::Window),
                 LookFor(218, 218).palette.color(QPalette::Window));
        QCOMPARE(program.App().Settings().ReadVisualStyle(), 999);
    }

    void nineLooksAreDistinct() {
        std::vector<Look> looks;
        for (int id = ID_VIEW_APPLOOK_WIN_2000; id <= ID_VIEW_APPLOOK_OFF_2007_AQUA; ++id)
            looks.push_back(LookFor(id, 215));
        for (std::size_t i = 0; i < looks.size(); ++i)
            for (std::size_t j = i + 1; j < looks.size(); ++j) {
                const bool sameColours = looks[i].palette.color(QPalette::Window) ==
                                             looks[j].palette.color(QPalette::Window) &&
                                         looks[i].palette.color(QPalette::Highlight) ==
                                             looks[j].palette.color(QPalette::Highlight);
                QVERIFY2(!sameColours || looks[i].styleName != looks[j].styleName,
                         qPrintable(QStringLiteral("%1 and %2").arg(210 + i).arg(210 + j)));
            }
        // The four Office 2007 looks share one style.
        for (std::size_t i = 6; i < 9; ++i) QCOMPARE(looks[i].styleName, looks[5].styleName);
        // Dark text on the black look would vanish.
        QVERIFY(looks[6].palette.color(QPalette::WindowText).lightness() >
                looks[6].palette.color(QPalette::Window).lightness());
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::SettingsTest)
#include "settings_test.moc"
