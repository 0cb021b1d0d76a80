#include "app_test_support.h"

#include <QGuiApplication>

namespace velmora::testing {

std::optional<QString> ScriptedPrompts::AskOpenPath(QWidget*) {
    ++openAsked;
    return openPath;
}

std::optional<QString> ScriptedPrompts::AskSavePath(QWidget*, const QString& suggested) {
    ++saveAsked;
    lastSuggestedSavePath = suggested;
    return savePath;
}

UserPrompts::SaveChanges ScriptedPrompts::AskSaveChanges(QWidget*, const QString& documentTitle) {
    saveChangesAsked << documentTitle;
    return saveChangesAnswer;
}

bool ScriptedPrompts::OpenUrl(const QUrl& url) {
    openedUrls << url;
    return openUrlSucceeds;
}

void ScriptedPrompts::RunModal(QDialog& dialog) {
    ++modalShown;
    dialog.show();
    if (onModal) onModal(dialog);
    dialog.close();
}

TestProgram::TestProgram(const QString& settingsFile, const QString& executablePath) {
    // Closing a program's window in a test ends nothing but that program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    AppEnvironment environment;
    environment.executablePath = executablePath;
    environment.settings = std::make_unique<AppSettings>(settingsFile);
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts_ = prompts.get();
    environment.prompts = std::move(prompts);
    auto messages = std::make_unique<RecordingMessages>();
    messages_ = messages.get();
    environment.messages = std::move(messages);
    app_ = std::make_unique<CVelmoraApp>(std::move(environment));
}

TestProgram::~TestProgram() = default;

bool TestProgram::Start(const QStringList& arguments) {
    return app_->InitInstance(arguments);
}

QString SamplePicture() {
    return QStringLiteral(VELMORA_SOURCE_DIR "/assets/sample/ladybird.jpg");
}

QString WritePicture(const QTemporaryDir& dir, const QString& name, QColor colour) {
    QImage picture(24, 16, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = dir.filePath(name);
    picture.save(path);
    return path;
}

}  // namespace velmora::testing
