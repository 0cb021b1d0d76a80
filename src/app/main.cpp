// velmora: removes an unwanted object from a photograph.
#include <QApplication>

#include "app/res/images.h"
#include "app/res/version_info.h"
#include "app/velmora_app.h"
#include "imagefile/native_file_name.h"
#include "platform/interface_language.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Without Qt's translations its own buttons and dialogs stay English; the program still runs.
    velmora::UseChineseInterface(application);
    QApplication::setOrganizationName(QStringLiteral("Halvard"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QString::fromLatin1(velmora::kFileVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.halvard.Velmora"));
    QApplication::setWindowIcon(velmora::ProgramIcon());

    velmora::CVelmoraApp app{velmora::AppEnvironment{}};
    // From argv itself, which QApplication has cleared of its own options: names are kept as the
    // bytes they are.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << velmora::FileNameFromNative(argv[i]);
    // A picture that cannot be opened has been reported; the program ends without a window.
    if (!app.InitInstance(arguments)) return 1;
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
