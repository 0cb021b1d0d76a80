#include "erase_test_support.h"

#include <QRegularExpression>
#include <QTextStream>

#include "cli/erase_command.h"

namespace velmora::testing {

EraseRun RunEraseCommand(const QStringList& arguments, bool stopAtOnce) {
    EraseRun run;
    const ParsedEraseArguments parsed = ParseEraseArguments(arguments);
    if (!parsed.options) {
        run.exitCode = kExitUsage;
        run.err = parsed.error;
        return run;
    }
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    std::atomic<bool> stop{stopAtOnce};
    run.exitCode = RunErase(*parsed.options, {out, err, false}, stop);
    return run;
}

qint64 ReportValue(const QString& closingLine, const QString& key) {
    const QRegularExpression pattern(QStringLiteral("\\b%1=([0-9.]+)").arg(key));
    const QRegularExpressionMatch match = pattern.match(closingLine);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

qint64 DifferentPixels(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size()) return -1;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    qint64 count = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            if (qRgb(qRed(l[x]), qGreen(l[x]), qBlue(l[x])) !=
                qRgb(qRed(r[x]), qGreen(r[x]), qBlue(r[x])))
                ++count;
    }
    return count;
}

}  // namespace velmora::testing
