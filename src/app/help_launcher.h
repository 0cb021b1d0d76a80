#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace velmora {

// Finds the program's help page and hands it to the desktop's handler. The page sits beside the
// executable with its base name ("velmora.html"), or where the installation put it.
class HelpLauncher {
  public:
    using UrlOpener = std::function<bool(const QUrl&)>;
    using FailureReport = std::function<void(const QString&)>;

    HelpLauncher(QString executablePath, UrlOpener openUrl, FailureReport reportFailure);

    // The page, or an empty string when there is none.
    [[nodiscard]] QString FindHelpFile() const;
    // Opens the page; when it is missing or cannot be started, reports "启动帮助失败。" and
    // returns false. The program goes on either way.
    bool ShowHelp() const;

  private:
    QString executablePath_;
    UrlOpener openUrl_;
    FailureReport reportFailure_;
};

}  // namespace velmora
