#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "app/app_settings.h"
#include "app/recent_file_list.h"
#include "app/user_prompts.h"
#include "app/visual_styles.h"
#include "platform/command_router.h"
#include "platform/command_target.h"
#include "platform/message_boxes.h"

namespace velmora {

class CMainFrame;
class CVelmoraDoc;
class CVelmoraView;
class HelpLauncher;

// What the program talks to outside itself. Left empty, each part is the real one: the user's
// settings, the dialogs, the desktop's handlers and error boxes over the main window.
struct AppEnvironment {
    QString executablePath;
    std::unique_ptr<AppSettings> settings;
    std::unique_ptr<UserPrompts> prompts;
    std::unique_ptr<MessageBoxes> messages;
};

// The application: starts the program with its settings and command line, ties the one document,
// frame and view together, and handles the application's commands (About, New, Open, Save, Save
// As, the recent files and Exit).
class CVelmoraApp : public QObject {
    Q_OBJECT

  public:
    explicit CVelmoraApp(AppEnvironment environment);
    ~CVelmoraApp() override;

    // Start-up: settings, recent files, document, frame and view, then the picture named by the
    // first argument, if any. False when that picture cannot be opened (the document has told
    // the user): the program then ends without a main window.
    bool InitInstance(const QStringList& arguments);
    // Stores the recent files and writes the settings out.
    int ExitInstance();

    [[nodiscard]] CMainFrame* MainFrame() const { return frame_.get(); }
    [[nodiscard]] CVelmoraDoc* Document() const { return document_.get(); }
    [[nodiscard]] CVelmoraView* View() const { return view_; }
    [[nodiscard]] CommandRouter& Router() { return router_; }
    [[nodiscard]] AppSettings& Settings() const { return *settings_; }
    [[nodiscard]] const RecentFileList& RecentFiles() const { return recentFiles_; }
    [[nodiscard]] const HelpLauncher& Help() const { return *help_; }

    // The current visual style command (210 to 218, or whatever was stored).
    int m_nVisualStyle = 215;

    // Opens a picture as Open and the recent files do: after offering to save the current one,
    // and into the recent files when it opened. False when nothing was opened.
    bool OpenDocumentFile(const QString& path);
    // Offers to save a modified document: false when the user cancelled or the save failed.
    bool SaveModified();

  protected:
    // Dropped files take the same way as Open.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // document_template.cpp: the one document, frame and view.
    bool CreateDocumentSet();
    void DestroyDocumentSet();

    // app_file_commands.cpp
    void RegisterCommands();
    void OnShowAbout();
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    bool DoSave(const QString& path);
    void OnOpenRecentFile(int index);
    void AddToRecentFiles(const QString& path);
    [[nodiscard]] bool DocumentIdle() const;

    CommandRouter router_;  // first made, last gone: every target leaves it before it goes
    AppEnvironment environment_;
    AppSettings* settings_;
    UserPrompts* prompts_;
    MessageBoxes* messages_ = nullptr;
    std::unique_ptr<MessageBoxes> ownMessages_;
    std::unique_ptr<HelpLauncher> help_;
    VisualStyles looks_;
    RecentFileList recentFiles_;
    CommandTarget commands_;

    std::unique_ptr<CVelmoraDoc> document_;
    std::unique_ptr<CMainFrame> frame_;  // owns the view
    CVelmoraView* view_ = nullptr;
    bool closeAfterSave_ = false;  // the window was asked to close while a save ran
};

}  // namespace velmora
