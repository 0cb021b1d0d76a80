#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <atomic>

namespace velmora::testing {

// What one run of the erase command printed and returned.
struct EraseRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Parses `arguments` as the command line does and runs the command (nothing runs on a usage error,
// which is reported like the program reports it).
EraseRun RunEraseCommand(const QStringList& arguments, bool stopAtOnce = false);

// Reads "key=value" from the closing line.
qint64 ReportValue(const QString& closingLine, const QString& key);

// The number of pixels whose RGB differs between two pictures of equal size (-1 when the sizes
// differ or a picture is missing).
qint64 DifferentPixels(const QImage& a, const QImage& b);

}  // namespace velmora::testing
