#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// The recently opened or saved pictures, newest first, at most `capacity` of them.
class RecentFileList {
  public:
    explicit RecentFileList(int capacity) : capacity_(capacity) {}

    // Puts the path first; an entry naming the same file moves up instead of doubling, and the
    // oldest entry drops out when the list is full.
    void Add(const QString& path);
    void Remove(int index);
    void Assign(const QStringList& paths);

    [[nodiscard]] const QStringList& Entries() const { return entries_; }
    [[nodiscard]] int Size() const { return static_cast<int>(entries_.size()); }
    [[nodiscard]] int Capacity() const { return capacity_; }
    // The menu text of an entry: its number as access key and the path shortened to 30 characters.
    [[nodiscard]] QString MenuText(int index) const;

  private:
    int capacity_;
    QStringList entries_;
};

// Shortens a path for display: the file name is kept whole as long as possible, leading folders
// give way to "...".
QString AbbreviatePath(const QString& path, int maxLength);

}  // namespace velmora
