// Qt's own dialogs as the program shows them: Chinese labels, buttons and dates whatever the
// system's locale.
#include <QAbstractProxyModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/file_dialog_language.h"
#include "platform/interface_language.h"

namespace velmora {

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(UseChineseInterface(*QCoreApplication::instance())); }

    void fileDialogSpeaksChinese() {
        QFileDialog dialog(nullptr, QStringLiteral("打开"));
        UseProgramLanguage(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        const auto label = [&](const char* name) {
            const auto* found = dialog.findChild<QLabel*>(QString::fromLatin1(name));
            return found != nullptr ? found->text() : QString();
        };
        QCOMPARE(label("lookInLabel"), QStringLiteral("查找范围："));
        QCOMPARE(label("fileNameLabel"), QStringLiteral("文件名称(&N)："));
        QCOMPARE(label("fileTypeLabel"), QStringLiteral("文件类型："));
        const auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons != nullptr);
        QStringList texts;
        for (const QAbstractButton* button : buttons->buttons()) texts << button->text();
        texts.sort();
        QCOMPARE(texts, (QStringList{QStringLiteral("取消"), QStringLiteral("打开(&O)")}));
    }

    void fileDialogDatesFollowTheProgramsLocale() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("a.png")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFileDialog dialog(nullptr, QStringLiteral("打开"), dir.path());
        UseProgramLanguage(dialog);
        auto* files = dialog.findChild<QFileSystemModel*>();
        QVERIFY(files != nullptr);
        QAbstractProxyModel* shown = dialog.proxyModel();
        QVERIFY(shown != nullptr);
        QModelIndex entry;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QModelIndex source = files->index(file.fileName());
                entry = shown->index(source.row(), 3, shown->mapFromSource(source.parent()));
                return source.isValid() && entry.isValid() && !entry.data().toString().isEmpty();
            },
            5000));
        const QDateTime modified = files->lastModified(files->index(file.fileName()));
        // The file model alone writes the system's format ("10 Dec 2026 11:18:44" in C).
        QCOMPARE(
            entry.data().toString(),
            QLocale(QLocale::Chinese, QLocale::China).toString(modified, QLocale::ShortFormat));
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::DialogsTest)
#include "dialogs_test.moc"
