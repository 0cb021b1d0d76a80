// velmora-screenshots PICTURE OUTLINE FOLDER: pictures of the main window at the four moments of
// a fill, from the program itself running offscreen.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <QMenu>

#include "app/about_dialog.h"
#include "app/mainframe.h"
#include "app/my_ribbon_bar.h"
#include "app/res/images.h"
#include "app/screenshots/screenshot_session.h"
#include "app/velmora_app.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/interface_language.h"
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
    return 0;
}
