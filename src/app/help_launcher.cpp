#include "app/help_launcher.h"

#include <QDir>
#include <QFileInfo>

#include "app/res/resource_ids.h"
#include "app/res/string_table.h"

namespace velmora {

HelpLauncher::HelpLauncher(QString executablePath, UrlOpener openUrl, FailureReport reportFailure)
    : executablePath_(std::move(executablePath)),
      openUrl_(std::move(openUrl)),
      reportFailure_(std::move(reportFailure)) {}

QString HelpLauncher::FindHelpFile() const {
    const QFileInfo program(executablePath_);
    const QString page = program.completeBaseName() + QStringLiteral(".html");
    const QDir dir = program.absoluteDir();
    const QStringList candidates = {
        dir.filePath(page),                                             // beside the program
        dir.filePath(QStringLiteral("../share/velmora/help/") + page),  // installed
    };
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isFile()) return QDir::cleanPath(candidate);
    return {};
}

bool HelpLauncher::ShowHelp() const {
    const QString page = FindHelpFile();
    if (!page.isEmpty() && openUrl_ && openUrl_(QUrl::fromLocalFile(page))) return true;
    if (reportFailure_) reportFailure_(LoadString(AFX_IDP_FAILED_TO_LAUNCH_HELP));
    return false;
}

}  // namespace velmora
