#include "app/recent_file_list.h"

#include <QDir>
#include <QFileInfo>

namespace velmora {

namespace {

constexpr int kDisplayLength = 30;

QString Normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool SameFile(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

}  // namespace

void RecentFileList::Add(const QString& path) {
    if (path.isEmpty()) return;
    const QString entry = Normalised(path);
    entries_.removeIf([&entry](const QString& other) { return SameFile(other, entry); });
    entries_.prepend(entry);
    while (entries_.size() > capacity_) entries_.removeLast();
}

void RecentFileList::Remove(int index) {
    if (index >= 0 && index < entries_.size()) entries_.removeAt(index);
}

void RecentFileList::Assign(const QStringList& paths) {
    entries_.clear();
    // Oldest first, so the first path ends up on top and doubles collapse.
    for (auto path = paths.crbegin(); path != paths.crend(); ++path) Add(*path);
}

QString RecentFileList::MenuText(int index) const {
    if (index < 0 || index >= entries_.size()) return {};
    const QString shown = QDir::toNativeSeparators(AbbreviatePath(entries_[index], kDisplayLength));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(
        QString(shown).replace(QStringLiteral("&"), QStringLiteral("&&")));
}

QString AbbreviatePath(const QString& path, int maxLength) {
    if (path.size() <= maxLength) return path;
    const QString ellipsis = QStringLiteral("...");
    const QStringList parts = path.split(u'/');
    const QString& name = parts.last();
    if (name.size() + ellipsis.size() + 1 > maxLength) return name.left(maxLength);
    // Keep as many trailing folders as fit after the root and "...".
    const QString root = parts.first() + u'/';
    QString tail = name;
    for (qsizetype i = parts.size() - 2; i > 0; --i) {
        const QString longer = parts[i] + u'/' + tail;
        if (root.size() + ellipsis.size() + 1 + longer.size() > maxLength) break;
        tail = longer;
    }
    const QString withRoot = root + ellipsis + u'/' + tail;
    return withRoot.size() <= maxLength ? withRoot : ellipsis + u'/' + tail;
}

}  // namespace velmora
