// Saving runs beside the window: a close asked for meanwhile waits for the file, and a close
// that asks to save closes only once the save has succeeded.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

#include "app/mainframe.h"
#include "app_test_support.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"

namespace velmora {

using testing::TestProgram;

class SaveCloseTest : public QObject {
    Q_OBJECT

  private slots:
    // Each test: a started program with its window shown, settings and pictures in `dir_`.
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        program_ = std::make_unique<TestProgram>(dir_->filePath(QStringLiteral("settings.conf")));
        QVERIFY(program_->Start());
        program_->App().MainFrame()->show();
    }
    void cleanup() {
        program_.reset();
        dir_.reset();
    }

    void closeDuringSaveWaitsForTheFile() {
        QTemporaryDir& dir = *dir_;
        TestProgram& program = *program_;
        CVelmoraApp& app = program.App();
        CMainFrame& frame = *app.MainFrame();
        const QString opened = testing::WritePicture(dir, QStringLiteral("a.png"), Qt::red);
        QVERIFY(app.OpenDocumentFile(opened));
        CVelmoraDoc& doc = *app.Document();
        doc.SetModifiedFlag(true);
        const QImage picture = doc.History().GetCurrent()->copy();

        std::atomic<bool> release{false};
        doc.SetSaveHook([&release] {
            while (!release.load()) std::this_thread::yield();
        });
        bool closedWhileSaving = true;
        bool savingSeen = false;
        bool openEnabled = true;
        QTimer::singleShot(0, &frame, [&] {
            savingSeen = doc.Saving();
            program.Refresh();
            openEnabled = app.Router().Query(ID_FILE_OPEN).enabled() ||
                          app.Router().Query(ID_FILE_NEW).enabled();
            closedWhileSaving = frame.close();
            release.store(true);
        });
        program.Prompts().savePath = dir.filePath(QStringLiteral("b.png"));
        QVERIFY(app.Router().Execute(ID_FILE_SAVE_AS));

        QVERIFY(savingSeen);
        QVERIFY(!openEnabled);
        QVERIFY(!closedWhileSaving);
        // The close comes once the save is done; nothing was left to ask about.
        QTRY_VERIFY(!frame.isVisible());
        QVERIFY(program.Prompts().saveChangesAsked.isEmpty());
        QCOMPARE(QImage(dir.filePath(QStringLiteral("b.png"))).convertToFormat(picture.format()),
                 picture);
    }

    void closeThatSavesClosesOnlyAfterASuccessfulSave() {
        QTemporaryDir& dir = *dir_;
        TestProgram& program = *program_;
        CVelmoraApp& app = program.App();
        CMainFrame& frame = *app.MainFrame();
        QVERIFY(
            app.OpenDocumentFile(testing::WritePicture(dir, QStringLiteral("a.png"), Qt::blue)));
        QVERIFY(app.Router().Execute(ID_FILE_NEW));  // untitled: Save asks for a name
        app.Document()->SetModifiedFlag(true);
        program.Prompts().saveChangesAnswer = UserPrompts::SaveChanges::Save;

        program.Prompts().savePath = dir.filePath(QStringLiteral("missing/x.png"));
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        QVERIFY(app.Document()->IsModified());
        QCOMPARE(program.Messages().errors.size(), 1);

        program.Prompts().savePath = dir.filePath(QStringLiteral("x.png"));
        QVERIFY(frame.close());
        QVERIFY(!frame.isVisible());
        QCOMPARE(QImage(dir.filePath(QStringLiteral("x.png"))).pixelColor(0, 0), QColor(Qt::blue));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TestProgram> program_;
};

}  // namespace velmora

QTEST_MAIN(velmora::SaveCloseTest)
#include "save_close_test.moc"
