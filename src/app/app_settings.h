#pragma once

#include <QByteArray>
#include <QStringList>
#include <memory>

class QSettings;

namespace velmora {

// The program's per-user settings: the visual style, the recent files and the main window's
// geometry and state. A value that cannot be read gives its default; writing never fails loudly.
class AppSettings {
  public:
    // Settings under organisation "Halvard", application "Velmora" (the per-user registry key
    // Software\Halvard\Velmora on Windows, ~/.config/Halvard/Velmora.conf here).
    AppSettings();
    // Settings in an INI file of the caller's choosing (tests).
    explicit AppSettings(const QString& iniFile);
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    static constexpr int kDefaultVisualStyle = 215;
    static constexpr int kRecentFileCount = 4;

    // "Workspace" / "ApplicationLook": any stored 32-bit integer, or 215.
    [[nodiscard]] int ReadVisualStyle() const;
    void WriteVisualStyle(int style);

    // "最近文件列表" / "文件1" to "文件4", newest first; absent entries are skipped.
    [[nodiscard]] QStringList ReadRecentFiles() const;
    void WriteRecentFiles(const QStringList& paths);

    [[nodiscard]] QByteArray ReadWindowGeometry() const;
    [[nodiscard]] QByteArray ReadWindowState() const;
    void WriteWindow(const QByteArray& geometry, const QByteArray& state);

    // Writes what is pending to the store now.
    void Sync();
    [[nodiscard]] QString FileName() const;

  private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace velmora
