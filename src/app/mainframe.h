#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <vector>

#include "platform/command_target.h"

class QAction;
class QMenu;

namespace velmora {

class AppSettings;
class CMyRibbonBar;
class CommandRouter;
class HelpLauncher;
class RecentFileList;
class RibbonStatusBar;
class VisualStyles;

// What the frame uses of the application.
struct FrameServices {
    CommandRouter& router;
    AppSettings& settings;
    int& visualStyle;  // the application's current style command, 210 to 218 or any stored value
    VisualStyles& looks;
    const HelpLauncher& help;
    const RecentFileList& recentFiles;
};

// The program's only top-level window: the ribbon, through which every command is reached, the
// status bar on which a fill shows its progress, and the canvas between them. It handles the help
// commands, the moves between panes and the choice of visual style.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    // Reads the stored visual style; nothing is shown yet.
    explicit CMainFrame(FrameServices services, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Applies the style, builds the ribbon and the empty status bar and binds the accelerators.
    // False when the status bar could not be made.
    bool OnCreate();

    // The canvas between ribbon and status bar; the frame takes it over.
    void SetView(QWidget* view);
    [[nodiscard]] QWidget* View() const { return centralWidget(); }

    [[nodiscard]] CMyRibbonBar* RibbonBar() const { return m_ribbonBar; }
    [[nodiscard]] RibbonStatusBar* StatusBar() const { return m_statusBar; }
    [[nodiscard]] CommandTarget& Commands() { return commands_; }

    // Title "name - Velmora"; the modified mark follows the document.
    void SetDocumentTitle(const QString& title);

    // Asked before the window closes; false keeps it open.
    void SetCloseQuery(std::function<bool()> query) { closeQuery_ = std::move(query); }

    // Applies and stores a visual style.
    void OnVisualStyle(int styleId);

    // Brings the application menu's recent-file entries up to date with the list.
    void RefreshRecentFiles();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // mainframe_ribbon.cpp
    void BuildRibbon();
    QMenu* BuildApplicationMenu();
    void ConfigureAction(int command, int label, const char* icon);

    // mainframe_styles.cpp
    void RegisterStyleCommands();
    void OnUpdateVisualStyle(CommandState& state) const;

    // mainframe_help.cpp
    void RegisterHelpCommands();
    void OnContextHelp();
    void OnNextPane();

    // mainframe_keys.cpp
    void BindAccelerators();

    FrameServices services_;
    CMyRibbonBar* m_ribbonBar = nullptr;
    RibbonStatusBar* m_statusBar = nullptr;
    std::vector<QAction*> recentActions_;
    CommandTarget commands_;
    std::function<bool()> closeQuery_;
    QString hoverText_;  // the last hover text shown in the status bar
};

}  // namespace velmora
