#include "app/res/images.h"

#include <QFile>

// The resources live in a static library: the program and the tests load them by this call.
static void InitVelmoraResources() {
    Q_INIT_RESOURCE(velmora);
}

namespace velmora {

namespace {

void EnsureResources() {
    static const bool loaded = [] {
        InitVelmoraResources();
        return true;
    }();
    (void)loaded;
}

}  // namespace

QIcon ProgramIcon() {
    EnsureResources();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/velmora/app/%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon ApplicationButtonIcon() {
    EnsureResources();
    return QIcon(QStringLiteral(":/velmora/app/button.png"));
}

QIcon CommandIcon(const QString& name) {
    EnsureResources();
    QIcon icon;
    for (const int size : {16, 32}) {
        const QString path = QStringLiteral(":/velmora/icons/%1/%2.png").arg(size).arg(name);
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon;
}

}  // namespace velmora
