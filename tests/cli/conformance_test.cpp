// Reference fills: every case must come out pixel for pixel, with the same counts.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>

#include "erase_test_support.h"

namespace velmora {
namespace {

struct ReferenceCase {
    QString name, input, selection, sourceRect, seed, expected;
    qint64 marked = 0, sources = 0, progress = 0;
};

std::vector<ReferenceCase> LoadCases() {
    QFile table(QStringLiteral(VELMORA_CONFORMANCE_DIR "/cases.tsv"));
    std::vector<ReferenceCase> cases;
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text)) return cases;
    QTextStream lines(&table);
    lines.readLine();  // header
    while (!lines.atEnd()) {
        const QStringList f = lines.readLine().split(QLatin1Char('\t'));
        if (f.size() < 9) continue;
        cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6].toLongLong(), f[7].toLongLong(),
                         f[8].toLongLong()});
    }
    return cases;
}

QString InConformance(const QString& file) {
    return QStringLiteral(VELMORA_CONFORMANCE_DIR "/") + file;
}

// The fill gives the same pixels on any number of threads, more than the processors included.
class Conformance : public ::testing::TestWithParam<int> {};

TEST_P(Conformance, EveryReferenceFillMatchesBitForBit) {
    const std::vector<ReferenceCase> cases = LoadCases();
    ASSERT_GE(cases.size(), 10u) << "reference cases missing from " VELMORA_CONFORMANCE_DIR;
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    for (const ReferenceCase& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString output = scratch.filePath(c.name + QStringLiteral(".png"));
        QStringList arguments{InConformance(c.input),
                              QStringLiteral("-o"),
                              output,
                              QStringLiteral("--seed"),
                              c.seed,
                              QStringLiteral("--quiet"),
                              QStringLiteral("--threads"),
                              QString::number(GetParam())};
        if (c.selection.startsWith(QStringLiteral("rect:")))
            arguments << QStringLiteral("--rect") << c.selection.mid(5);
        else
            arguments << QStringLiteral("--mask") << InConformance(c.selection.mid(5));
        if (c.sourceRect != QStringLiteral("-"))
            arguments << QStringLiteral("--source-rect") << c.sourceRect;

        const testing::EraseRun run = testing::RunEraseCommand(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(testing::ReportValue(run.out, QStringLiteral("marked")), c.marked);
        EXPECT_EQ(testing::ReportValue(run.out, QStringLiteral("sources")), c.sources);
        EXPECT_EQ(testing::ReportValue(run.out, QStringLiteral("progress")), c.progress);
        EXPECT_EQ(testing::DifferentPixels(QImage(output), QImage(InConformance(c.expected))), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(ThreadCounts, Conformance, ::testing::Values(1, 2, 3, 8));

}  // namespace
}  // namespace velmora
