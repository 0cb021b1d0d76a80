#pragma once

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <optional>

#include "app/user_prompts.h"
#include "app/velmora_app.h"
#include "platform/message_boxes.h"

namespace velmora::testing {

// Answers the program's questions as the test says and records what was asked.
class ScriptedPrompts final : public UserPrompts {
  public:
    std::optional<QString> openPath;
    std::optional<QString> savePath;
    SaveChanges saveChangesAnswer = SaveChanges::Discard;
    bool openUrlSucceeds = true;
    // Runs on the dialog instead of waiting for a person; the dialog is closed afterwards.
    std::function<void(QDialog&)> onModal;

    int openAsked = 0;
    int saveAsked = 0;
    QString lastSuggestedSavePath;
    QStringList saveChangesAsked;
    QList<QUrl> openedUrls;
    int modalShown = 0;

    std::optional<QString> AskOpenPath(QWidget*) override;
    std::optional<QString> AskSavePath(QWidget*, const QString& suggested) override;
    SaveChanges AskSaveChanges(QWidget*, const QString& documentTitle) override;
    bool OpenUrl(const QUrl& url) override;
    void RunModal(QDialog& dialog) override;
};

class RecordingMessages final : public MessageBoxes {
  public:
    QStringList errors;
    QStringList notices;
    void ShowError(const QString& text) override { errors << text; }
    void ShowNotice(const QString& text) override { notices << text; }
    bool AskYesNo(const QString& question) override {
        questions << question;
        return true;
    }
    QStringList questions;
};

// The program with its settings in a scratch file, scripted prompts and recorded messages.
class TestProgram {
  public:
    // Several programs may share one settings file, one after the other.
    explicit TestProgram(const QString& settingsFile, const QString& executablePath = {});
    ~TestProgram();

    bool Start(const QStringList& arguments = {});
    CVelmoraApp& App() { return *app_; }
    ScriptedPrompts& Prompts() { return *prompts_; }
    RecordingMessages& Messages() { return *messages_; }
    // Brings every button's state up to date, as the idle event loop does.
    void Refresh() { app_->Router().RefreshActions(); }

  private:
    ScriptedPrompts* prompts_;
    RecordingMessages* messages_;
    std::unique_ptr<CVelmoraApp> app_;
};

// The sample photograph and a copy of it decoded.
QString SamplePicture();
// Writes a small picture of one colour and returns its path.
QString WritePicture(const QTemporaryDir& dir, const QString& name, QColor colour);

}  // namespace velmora::testing
