// velmora-screenshots PICTURE OUTLINE FOLDER: pictures of the main window at the four moments of
// a fill, from the program itself running offscreen.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTextStream>

#include <QMenu>

#include "app/about_dialog.h"
#include "app/file_dialog_language.h"
#include "app/mainframe.h"
#include "app/my_ribbon_bar.h"
#include "app/res/document_string.h"
#include "app/res/images.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "app/screenshots/screenshot_session.h"
#include "app/velmora_app.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/interface_language.h"
#include "platform/message_boxes.h"
#include "platform/ribbon_status_bar.h"

namespace {

constexpr QSize kWindowSize(1100, 700);
constexpr int kLimitMs = 300000;
// Far enough into the fill to see it growing, well before its end.
constexpr int kProgressShown = 30;

std::vector<QPoint> ReadOutline(const QString& path) {
    QFile file(path);
    std::vector<QPoint> points;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return points;
    const QStringList numbers = QString::fromUtf8(file.readAll()).trimmed().split(u',');
    for (qsizetype i = 0; i + 1 < numbers.size(); i += 2)
        points.emplace_back(numbers[i].toInt(), numbers[i + 1].toInt());
    return points;
}

// The open dialog as Open shows it, and the prompt to save changes, over the main window.
bool SaveDialogs(velmora::ScreenshotSession& session, const QString& sampleFolder,
                 const QDir& folder, const QString& prefix) {
    QWidget* const frame = session.App().MainFrame();
    QFileDialog dialog(frame, velmora::LoadString(velmora::AFX_IDS_OPENFILE), sampleFolder);
    velmora::UseProgramLanguage(dialog);
    dialog.setNameFilters(velmora::DocumentString::Load().DialogFilters());
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.show();
    auto* files = dialog.findChild<QFileSystemModel*>();
    session.WaitUntil(
        [&] { return files != nullptr && files->rowCount(files->index(sampleFolder)) > 0; }, 5000);
    session.WaitUntil([] { return false; }, 300);  // the view catches up with the model
    const bool dialogSaved =
        dialog.grab().save(folder.filePath(prefix + QStringLiteral("open.png")));
    dialog.hide();

    const auto box = velmora::MakeMessageBox(
        frame, QMessageBox::Question, velmora::LoadString(velmora::AFX_IDS_APP_TITLE),
        velmora::LoadString(velmora::AFX_IDP_ASK_TO_SAVE)
            .arg(velmora::LoadString(velmora::AFX_IDS_UNTITLED)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box->show();
    QApplication::processEvents();
    const bool boxSaved = box->grab().save(folder.filePath(prefix + QStringLiteral("box.png")));
    box->hide();
    return dialogSaved && boxSaved;
}

int Fail(const QString& message) {
    QTextStream(stderr) << "velmora-screenshots: " << message << Qt::endl;
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    velmora::UseChineseInterface(application);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setWindowIcon(velmora::ProgramIcon());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) return Fail(QStringLiteral("usage: PICTURE OUTLINE FOLDER"));
    const QDir folder(arguments[3]);
    const std::vector<QPoint> outline = ReadOutline(arguments[2]);
    if (outline.size() < 3) return Fail(QStringLiteral("no outline in ") + arguments[2]);

    velmora::ScreenshotSession session;
    if (!session.Start(kWindowSize)) return Fail(QStringLiteral("the program did not start"));
    velmora::CVelmoraApp& app = session.App();
    const auto save = [&](const QString& name) {
        const QString path = folder.filePath(name);
        if (!session.Grab().save(path)) return false;
        QTextStream(stdout) << path << Qt::endl;
        return true;
    };

    if (!save(QStringLiteral("1-empty.png"))) return Fail(QStringLiteral("cannot write pictures"));

    if (!app.OpenDocumentFile(arguments[1]))
        return Fail(QStringLiteral("cannot open ") + arguments[1]);
    velmora::CVelmoraDoc& document = *app.Document();
    document.SetSeedClock([] { return 20240601u; });
    app.Router().Execute(velmora::ID_TOOL_POLYGON);
    for (const QPoint& point : outline) session.ClickPicture(point);
    session.ClickPicture(outline.front());  // closes the outline
    save(QStringLiteral("2-outline.png"));

    if (!app.Router().Execute(velmora::ID_FILL_START)) return Fail(QStringLiteral("no fill"));
    session.WaitUntil(
        [&] { return document.ProgressCount() >= kProgressShown || !document.Busy(); }, kLimitMs);
    save(QStringLiteral("3-filling.png"));

    const velmora::RibbonStatusBar* status = app.MainFrame()->StatusBar();
    if (!session.WaitUntil([&] { return !document.Busy() && status->ElementCount() == 0; },
                           kLimitMs))
        return Fail(QStringLiteral("the fill did not finish"));
    save(QStringLiteral("4-finished.png"));

    // The rest of the program's face: the application menu, the About box and a dark look.
    QMenu* menu = app.MainFrame()->RibbonBar()->ApplicationMenu();
    menu->popup(app.MainFrame()->mapToGlobal(QPoint(2, 30)));
    QApplication::processEvents();
    menu->grab().save(folder.filePath(QStringLiteral("5-menu.png")));
    menu->hide();
    velmora::CAboutDlg about([](const QUrl&) { return true; }, app.MainFrame());
    about.show();
    QApplication::processEvents();
    about.grab().save(folder.filePath(QStringLiteral("6-about.png")));
    about.hide();
    app.Router().Execute(velmora::ID_VIEW_APPLOOK_OFF_2007_BLACK);
    save(QStringLiteral("7-black.png"));
    app.Router().Execute(velmora::ID_VIEW_APPLOOK_OFF_2007_BLUE);
    app.MainFrame()->resize(560, 420);  // panels turn compact from the right
    save(QStringLiteral("8-narrow.png"));
    app.MainFrame()->resize(kWindowSize);

    // Every look: the open dialog, a message box and the status bar while a fill runs.
    const QString sampleFolder = QFileInfo(arguments[1]).absolutePath();
    for (int look = velmora::ID_VIEW_APPLOOK_WIN_2000;
         look <= velmora::ID_VIEW_APPLOOK_OFF_2007_AQUA; ++look) {
        app.Router().Execute(look);
        const QString prefix = QStringLiteral("look-%1-").arg(look);
        if (!SaveDialogs(session, sampleFolder, folder, prefix))
            return Fail(QStringLiteral("no dialogs in look %1").arg(look));
        if (!app.Router().Execute(velmora::ID_FILL_START))
            return Fail(QStringLiteral("no fill in look %1").arg(look));
        session.WaitUntil(
            [&] { return document.ProgressCount() >= kProgressShown || !document.Busy(); },
            kLimitMs);
        const QImage window = session.Grab();
        const int barHeight = app.MainFrame()->StatusBar()->height();
        window.copy(0, window.height() - barHeight - 60, window.width(), barHeight + 60)
            .save(folder.filePath(prefix + QStringLiteral("status.png")));
        app.Router().Execute(velmora::ID_FILL_STOP);
        if (!session.WaitUntil([&] { return !document.Busy() && status->ElementCount() == 0; },
                               kLimitMs))
            return Fail(QStringLiteral("the fill did not stop"));
        app.Router().Execute(velmora::ID_EDIT_UNDO);
    }
    return 0;
}
