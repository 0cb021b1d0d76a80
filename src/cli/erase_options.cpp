#include "erase_options.h"

#include <limits>

namespace velmora {

namespace {

// Parses comma-separated signed 32-bit integers; empty on any malformed entry.
std::optional<std::vector<std::int32_t>> ParseIntegers(const QString& text) {
    std::vector<std::int32_t> values;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (!ok) return std::nullopt;
        values.push_back(value);
    }
    return values;
}

// More threads than any processor offers only cost memory and meetings.
constexpr int kMostThreads = 1024;

ParsedEraseArguments Fail(const QString& message) {
    return {std::nullopt, message};
}

}  // namespace

QString EraseUsage() {
    return QStringLiteral(
        "usage: velmora-erase INPUT -o OUTPUT (--rect X0,Y0,X1,Y1 | --polygon X,Y,X,Y,... | "
        "--mask MASK) [--source-rect X,Y,W,H] [--seed N] [--threads N] [--quiet]");
}

std::vector<GridPoint> RectangleOutline(GridPoint from, GridPoint to) {
    return {from, {to.x, from.y}, to, {from.x, to.y}, from};
}

ParsedEraseArguments ParseEraseArguments(const QStringList& arguments) {
    EraseOptions options;
    int selections = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments[++i];
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.helpRequested = true;
            return {options, {}};
        }
        if (argument == QLatin1String("--quiet")) {
            options.quiet = true;
        } else if (argument == QLatin1String("-o")) {
            const auto path = value();
            if (!path || path->isEmpty()) return Fail(QStringLiteral("-o needs an output path"));
            if (!options.output.isEmpty()) return Fail(QStringLiteral("-o given twice"));
            options.output = *path;
        } else if (argument == QLatin1String("--rect")) {
            const auto text = value();
            const auto numbers = text ? ParseIntegers(*text) : std::nullopt;
            if (!numbers || numbers->size() != 4)
                return Fail(QStringLiteral("--rect needs X0,Y0,X1,Y1"));
            options.selectionKind = SelectionKind::Rectangle;
            options.outline =
                RectangleOutline({(*numbers)[0], (*numbers)[1]}, {(*numbers)[2], (*numbers)[3]});
            ++selections;
        } else if (argument == QLatin1String("--polygon")) {
            const auto text = value();
            const auto numbers = text ? ParseIntegers(*text) : std::nullopt;
            if (!numbers || numbers->size() < 6 || numbers->size() % 2 != 0)
                return Fail(QStringLiteral("--polygon needs at least three X,Y points"));
            options.selectionKind = SelectionKind::Polygon;
            options.outline.clear();
            for (std::size_t k = 0; k < numbers->size(); k += 2)
                options.outline.push_back({(*numbers)[k], (*numbers)[k + 1]});
            // A repeated first point closes the outline; it is not one of the three.
            if (options.outline.front() == options.outline.back()) options.outline.pop_back();
            if (options.outline.size() < 3)
                return Fail(QStringLiteral("--polygon needs at least three X,Y points"));
            options.outline.push_back(options.outline.front());
            ++selections;
        } else if (argument == QLatin1String("--mask")) {
            const auto path = value();
            if (!path || path->isEmpty()) return Fail(QStringLiteral("--mask needs a mask image"));
            options.selectionKind = SelectionKind::MaskFile;
            options.maskPath = *path;
            ++selections;
        } else if (argument == QLatin1String("--source-rect")) {
            const auto text = value();
            const auto numbers = text ? ParseIntegers(*text) : std::nullopt;
            if (!numbers || numbers->size() != 4)
                return Fail(QStringLiteral("--source-rect needs X,Y,W,H"));
            if (options.sourceRect) return Fail(QStringLiteral("--source-rect given twice"));
            options.sourceRect =
                FillRect{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]};
        } else if (argument == QLatin1String("--seed")) {
            const auto text = value();
            bool ok = false;
            const qulonglong seed = text ? text->toULongLong(&ok) : 0;
            if (!ok || seed > std::numeric_limits<std::uint32_t>::max())
                return Fail(QStringLiteral("--seed needs a number from 0 to 4294967295"));
            if (options.seed) return Fail(QStringLiteral("--seed given twice"));
            options.seed = static_cast<std::uint32_t>(seed);
        } else if (argument == QLatin1String("--threads")) {
            const auto text = value();
            bool ok = false;
            const int threads = text ? text->toInt(&ok) : 0;
            if (!ok || threads < 1 || threads > kMostThreads)
                return Fail(
                    QStringLiteral("--threads needs a number from 1 to %1").arg(kMostThreads));
            if (options.threads != 0) return Fail(QStringLiteral("--threads given twice"));
            options.threads = threads;
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return Fail(QStringLiteral("unknown option %1").arg(argument));
        } else if (options.input.isEmpty()) {
            options.input = argument;
        } else {
            return Fail(QStringLiteral("unexpected argument %1").arg(argument));
        }
    }
    if (options.input.isEmpty()) return Fail(QStringLiteral("no input picture given"));
    if (options.output.isEmpty()) return Fail(QStringLiteral("no output given (-o OUTPUT)"));
    if (selections != 1)
        return Fail(QStringLiteral("give exactly one of --rect, --polygon and --mask"));
    return {options, {}};
}

}  // namespace velmora
