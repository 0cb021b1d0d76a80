// The command-line parser: any words, in any order, must give options or a one-line error.
#include <QStringList>
#include <cstdlib>

#include "cli/erase_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList arguments = text.split(QLatin1Char('\n'));
    const velmora::ParsedEraseArguments parsed = velmora::ParseEraseArguments(arguments);
    if (parsed.options.has_value() == !parsed.error.isEmpty()) std::abort();
    if (!parsed.options) return 0;
    const velmora::EraseOptions& options = *parsed.options;
    if (options.helpRequested) return 0;
    if (options.input.isEmpty() || options.output.isEmpty()) std::abort();
    if (options.selectionKind != velmora::SelectionKind::MaskFile &&
        (options.outline.size() < 4 || !(options.outline.front() == options.outline.back())))
        std::abort();
    return 0;
}
