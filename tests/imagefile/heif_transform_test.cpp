// HEIF files whose picture is stored turned or mirrored, with the turn in the container's
// transform properties (as phones write them) rather than in EXIF. libheif here cannot write
// those properties, so the tests add them to a file it wrote, box by box.
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "test_files.h"

namespace velmora::test {
namespace {

std::uint32_t ReadBig(const QByteArray& bytes, qsizetype at, int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

void WriteBig(QByteArray& bytes, qsizetype at, int size, std::uint32_t value) {
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[at + i] = static_cast<char>(value & 0xff);
}

QByteArray Big(int size, std::uint32_t value) {
    QByteArray bytes(size, '\0');
    WriteBig(bytes, 0, size, value);
    return bytes;
}

// One box of an ISO media file: where it starts, its type and its whole length.
struct Box {
    qsizetype start = 0;
    QByteArray type;
    qsizetype size = 0;
};

// The boxes laid one after another in [from, to).
std::vector<Box> Boxes(const QByteArray& file, qsizetype from, qsizetype to) {
    std::vector<Box> boxes;
    while (from + 8 <= to) {
        const auto size = static_cast<qsizetype>(ReadBig(file, from, 4));
        if (size < 8 || from + size > to) break;
        boxes.push_back({from, file.mid(from + 4, 4), size});
        from += size;
    }
    return boxes;
}

Box Find(const std::vector<Box>& boxes, const char* type) {
    for (const Box& box : boxes)
        if (box.type == type) return box;
    ADD_FAILURE() << "no " << type << " box";
    return {};
}

QByteArray WithSize(QByteArray box) {
    WriteBig(box, 0, 4, static_cast<std::uint32_t>(box.size()));
    return box;
}

// The item-property association box with `added` (1-based property indices, marked essential)
// appended to the associations of item `item`.
QByteArray AssociateProperties(const QByteArray& ipma, std::uint32_t item,
                               const std::vector<int>& added) {
    const int version = static_cast<std::uint8_t>(ipma[8]);
    const bool wideIndex = (ReadBig(ipma, 9, 3) & 1) != 0;
    const int idSize = version < 1 ? 2 : 4;
    QByteArray out = ipma.left(16);
    qsizetype at = 16;
    for (std::uint32_t entry = ReadBig(ipma, 12, 4); entry > 0; --entry) {
        const std::uint32_t id = ReadBig(ipma, at, idSize);
        const int count = static_cast<std::uint8_t>(ipma[at + idSize]);
        const qsizetype associations = count * (wideIndex ? 2 : 1);
        out += ipma.mid(at, idSize);
        out += static_cast<char>(count + (id == item ? static_cast<int>(added.size()) : 0));
        out += ipma.mid(at + idSize + 1, associations);
        if (id == item)
            for (const int index : added)
                out += wideIndex ? Big(2, 0x8000u | index) : Big(1, 0x80u | index);
        at += idSize + 1 + associations;
    }
    return WithSize(out);
}

// The item location box with every offset into the file moved on by `shift` bytes.
QByteArray ShiftLocations(QByteArray iloc, qsizetype shift) {
    const int version = static_cast<std::uint8_t>(iloc[8]);
    const int offsetSize = static_cast<std::uint8_t>(iloc[12]) >> 4;
    const int lengthSize = static_cast<std::uint8_t>(iloc[12]) & 15;
    const int baseSize = static_cast<std::uint8_t>(iloc[13]) >> 4;
    const int indexSize = version >= 1 ? static_cast<std::uint8_t>(iloc[13]) & 15 : 0;
    const int idSize = version < 2 ? 2 : 4;
    qsizetype at = 14;
    std::uint32_t items = ReadBig(iloc, at, idSize);
    at += idSize;
    for (; items > 0; --items) {
        at += idSize;
        int method = 0;
        if (version >= 1) {
            method = static_cast<int>(ReadBig(iloc, at, 2) & 15);
            at += 2;
        }
        at += 2;  // data reference index
        const bool inFile = method == 0;
        if (baseSize > 0 && inFile && ReadBig(iloc, at, baseSize) != 0)
            WriteBig(iloc, at, baseSize, ReadBig(iloc, at, baseSize) + shift);
        const bool shiftExtents = inFile && (baseSize == 0 || ReadBig(iloc, at, baseSize) == 0);
        at += baseSize;
        std::uint32_t extents = ReadBig(iloc, at, 2);
        at += 2;
        for (; extents > 0; --extents) {
            at += indexSize;
            if (shiftExtents && offsetSize > 0)
                WriteBig(iloc, at, offsetSize, ReadBig(iloc, at, offsetSize) + shift);
            at += offsetSize + lengthSize;
        }
    }
    return iloc;
}

// `file` with a turn of `quarterTurns` × 90° anticlockwise and then, when given, a mirroring,
// declared for its primary picture. Mirror mode 0 swaps top and bottom, 1 left and right (the
// standard's amended reading, which phones and libheif follow).
QByteArray WithTransform(const QByteArray& file, int quarterTurns, std::optional<int> mirrorMode) {
    const Box meta = Find(Boxes(file, 0, file.size()), "meta");
    const std::vector<Box> metaChildren = Boxes(file, meta.start + 12, meta.start + meta.size);
    const Box iprp = Find(metaChildren, "iprp");
    const std::vector<Box> iprpChildren = Boxes(file, iprp.start + 8, iprp.start + iprp.size);
    const Box ipco = Find(iprpChildren, "ipco");
    const Box ipma = Find(iprpChildren, "ipma");
    const Box pitm = Find(metaChildren, "pitm");
    const std::uint32_t primary = ReadBig(file, pitm.start + 12, 2);

    QByteArray properties;
    std::vector<int> added;
    int next = static_cast<int>(Boxes(file, ipco.start + 8, ipco.start + ipco.size).size()) + 1;
    if (quarterTurns != 0) {
        properties += Big(4, 9) + "irot" + static_cast<char>(quarterTurns & 3);
        added.push_back(next++);
    }
    if (mirrorMode) {
        properties += Big(4, 9) + "imir" + static_cast<char>(*mirrorMode & 1);
        added.push_back(next++);
    }
    const QByteArray newIpco = WithSize(file.mid(ipco.start, ipco.size) + properties);
    const QByteArray newIpma = AssociateProperties(file.mid(ipma.start, ipma.size), primary, added);

    QByteArray newIprp = file.mid(iprp.start, 8);
    for (const Box& box : iprpChildren)
        newIprp += box.type == "ipco"   ? newIpco
                   : box.type == "ipma" ? newIpma
                                        : file.mid(box.start, box.size);
    newIprp = WithSize(newIprp);
    const qsizetype growth = newIprp.size() - iprp.size;

    QByteArray newMeta = file.mid(meta.start, 12);
    for (const Box& box : metaChildren)
        newMeta += box.type == "iprp"   ? newIprp
                   : box.type == "iloc" ? ShiftLocations(file.mid(box.start, box.size), growth)
                                        : file.mid(box.start, box.size);
    newMeta = WithSize(newMeta);
    return file.left(meta.start) + newMeta + file.mid(meta.start + meta.size);
}

// Corner colours as the stored picture shows them: "RGBY" (top left, top right, bottom left,
// bottom right), and after each transform the file can declare.
struct Case {
    int quarterTurns;
    std::optional<int> mirrorMode;
    const char* corners;
};
constexpr Case kCases[] = {
    {1, std::nullopt, "GYRB"},  // 90° anticlockwise
    {2, std::nullopt, "YBGR"},
    {3, std::nullopt, "BRYG"},  // 90° clockwise, as a phone held upright stores it
    {0, 0, "BYRG"},             // mirrored top to bottom
    {0, 1, "GRYB"},             // mirrored left to right
    {1, 1, "YGBR"},             // turned, then mirrored left to right
};

TEST(HeifTransforms, PicturesOpenAsTheirTransformPropertiesSayAndSaveUpright) {
    ScratchDir scratch;
    const QString plain = scratch.Path(QStringLiteral("plain.heic"));
    // A camera's EXIF orientation describes the same turn; it must not be applied a second time.
    ImageMetadata camera;
    {
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Testcam";
        exif["Exif.Image.Orientation"] = std::uint16_t{6};
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        camera.exif = QByteArray(reinterpret_cast<const char*>(blob.data()),
                                 static_cast<qsizetype>(blob.size()));
    }
    ASSERT_EQ(SaveImageFile(QuarterPicture(64, 32), camera, plain), SaveOutcome::Saved);
    const QByteArray stored = ReadFile(plain);

    for (const Case& expected : kCases) {
        SCOPED_TRACE(testing::Message() << expected.quarterTurns << " turns, mirror "
                                        << expected.mirrorMode.value_or(-1));
        const QString turned = scratch.Path(QStringLiteral("turned.heic"));
        WriteFile(turned, WithTransform(stored, expected.quarterTurns, expected.mirrorMode));
        const std::optional<OpenedImage> opened = OpenImageFile(turned);
        ASSERT_TRUE(opened);
        const bool sidesSwap = expected.quarterTurns % 2 == 1;
        EXPECT_EQ(opened->image.size(), sidesSwap ? QSize(32, 64) : QSize(64, 32));
        EXPECT_EQ(CornerColours(opened->image), expected.corners);

        const QString out = scratch.Path(QStringLiteral("upright.png"));
        ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, out), SaveOutcome::Saved);
        EXPECT_EQ(CornerColours(QImage(out)), expected.corners);
        const FileTags tags = ReadTags(out);
        EXPECT_EQ(tags.tags.at("Exif.Image.Orientation"), "1");
        EXPECT_EQ(tags.tags.at("Exif.Image.Make"), "Testcam");
    }
}

}  // namespace
}  // namespace velmora::test
