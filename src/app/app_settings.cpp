#include "app/app_settings.h"

#include <QSettings>
#include <QVariant>

#include "imagefile/native_file_name.h"

namespace velmora {

namespace {

const QString kWorkspace = QStringLiteral("Workspace");
const QString kApplicationLook = QStringLiteral("ApplicationLook");
const QString kRecentSection = QStringLiteral("最近文件列表");
const QString kRecentEntry = QStringLiteral("文件%1");
const QString kWindowGeometry = QStringLiteral("MainFrame/Geometry");
const QString kWindowState = QStringLiteral("MainFrame/State");

QString Key(const QString& section, const QString& value) {
    return section + u'/' + value;
}

// A name that is not UTF-8 is stored as its bytes, which the settings file keeps exactly; any
// other as text, readable there.
QVariant SettingOfPath(const QString& path) {
    const QByteArray bytes = NativeFileName(path);
    if (QString::fromUtf8(bytes) == path) return path;
    return bytes;
}

}  // namespace

AppSettings::AppSettings()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Halvard"), QStringLiteral("Velmora"))) {
}

AppSettings::AppSettings(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

AppSettings::~AppSettings() = default;

int AppSettings::ReadVisualStyle() const {
    bool ok = false;
    const int style = settings_->value(Key(kWorkspace, kApplicationLook)).toInt(&ok);
    return ok ? style : kDefaultVisualStyle;
}

void AppSettings::WriteVisualStyle(int style) {
    settings_->setValue(Key(kWorkspace, kApplicationLook), style);
}

QStringList AppSettings::ReadRecentFiles() const {
    QStringList paths;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QVariant value = settings_->value(Key(kRecentSection, kRecentEntry.arg(i)));
        const QString path = value.typeId() == QMetaType::QByteArray
                                 ? FileNameFromNative(value.toByteArray())
                                 : value.toString();
        if (!path.isEmpty()) paths << path;
    }
    return paths;
}

void AppSettings::WriteRecentFiles(const QStringList& paths) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = Key(kRecentSection, kRecentEntry.arg(i));
        if (i <= paths.size())
            settings_->setValue(key, SettingOfPath(paths[i - 1]));
        else
            settings_->remove(key);
    }
}

QByteArray AppSettings::ReadWindowGeometry() const {
    return settings_->value(Key(kWorkspace, kWindowGeometry)).toByteArray();
}

QByteArray AppSettings::ReadWindowState() const {
    return settings_->value(Key(kWorkspace, kWindowState)).toByteArray();
}

void AppSettings::WriteWindow(const QByteArray& geometry, const QByteArray& state) {
    settings_->setValue(Key(kWorkspace, kWindowGeometry), geometry);
    settings_->setValue(Key(kWorkspace, kWindowState), state);
}

void AppSettings::Sync() {
    settings_->sync();
}

QString AppSettings::FileName() const {
    return settings_->fileName();
}

}  // namespace velmora
