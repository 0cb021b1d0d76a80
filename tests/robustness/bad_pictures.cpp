#include "bad_pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

namespace velmora::test {

namespace {

void AppendLe16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void PutLe16(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    qToLittleEndian(static_cast<quint16>(value), bytes.data() + at);
}

void PutLe32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    qToLittleEndian(static_cast<quint32>(value), bytes.data() + at);
}

void PutBe16(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    qToBigEndian(static_cast<quint16>(value), bytes.data() + at);
}

void PutBe32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    qToBigEndian(static_cast<quint32>(value), bytes.data() + at);
}

// The checksum PNG chunks carry (CRC-32, reflected, polynomial 0xEDB88320).
std::uint32_t Crc32(const char* data, qsizetype size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint8_t>(data[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void ClaimTiffSize(QByteArray& bytes, std::uint32_t width, std::uint32_t height) {
    const bool little = bytes.startsWith("II");
    const auto read16 = [&](qsizetype at) -> std::uint32_t {
        return little ? qFromLittleEndian<quint16>(bytes.constData() + at)
                      : qFromBigEndian<quint16>(bytes.constData() + at);
    };
    const auto read32 = [&](qsizetype at) -> std::uint32_t {
        return little ? qFromLittleEndian<quint32>(bytes.constData() + at)
                      : qFromBigEndian<quint32>(bytes.constData() + at);
    };
    const auto write = [&](qsizetype at, std::uint32_t value, bool wide) {
        if (little)
            wide ? PutLe32(bytes, at, value) : PutLe16(bytes, at, value);
        else
            wide ? PutBe32(bytes, at, value) : PutBe16(bytes, at, value);
    };
    const qsizetype directory = read32(4);
    const std::uint32_t entries = read16(directory);
    for (std::uint32_t k = 0; k < entries; ++k) {
        const qsizetype entry = directory + 2 + 12 * static_cast<qsizetype>(k);
        const std::uint32_t tag = read16(entry);
        if (tag != 256 && tag != 257) continue;  // ImageWidth, ImageLength
        write(entry + 2, 4, false);              // type LONG
        write(entry + 4, 1, true);               // one value
        write(entry + 8, tag == 256 ? width : height, true);
    }
}

}  // namespace

QString ExtensionOf(const char* format) {
    const QByteArray name(format);
    if (name == "jpeg") return QStringLiteral(".jpg");
    if (name == "tiff") return QStringLiteral(".tif");
    return QLatin1Char('.') + QString::fromLatin1(name);
}

QByteArray EncodePicture(const QImage& picture, const char* format) {
    if (QByteArray(format) == "gif") return EncodeGif(picture);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (QByteArray(format) == "jpeg") writer.setQuality(90);
    if (!writer.write(picture)) return {};
    return bytes;
}

QByteArray EncodeGif(const QImage& picture) {
    const QImage indexed =
        picture.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8);
    const int width = indexed.width();
    const int height = indexed.height();
    QByteArray out("GIF89a");
    AppendLe16(out, width);
    AppendLe16(out, height);
    out.append(static_cast<char>(0xF7));  // a global table of 256 colours
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const QRgb colour = i < indexed.colorCount() ? indexed.color(i) : qRgb(0, 0, 0);
        out.append(static_cast<char>(qRed(colour)));
        out.append(static_cast<char>(qGreen(colour)));
        out.append(static_cast<char>(qBlue(colour)));
    }
    out.append(static_cast<char>(0x2C));
    AppendLe16(out, 0);
    AppendLe16(out, 0);
    AppendLe16(out, width);
    AppendLe16(out, height);
    out.append('\0');
    out.append(static_cast<char>(8));  // LZW minimum code size

    // Every pixel a literal 9-bit code; a clear code before the table would need 10 bits.
    constexpr int kClear = 256, kEnd = 257, kLiteralsPerClear = 254;
    QByteArray codes;
    std::uint32_t bits = 0;
    int bitCount = 0;
    const auto putCode = [&](int code) {
        bits |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            codes.append(static_cast<char>(bits & 0xFF));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    putCode(kClear);
    int sinceClear = 0;
    for (int y = 0; y < height; ++y) {
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (sinceClear == kLiteralsPerClear) {
                putCode(kClear);
                sinceClear = 0;
            }
            putCode(line[x]);
            ++sinceClear;
        }
    }
    putCode(kEnd);
    if (bitCount > 0) codes.append(static_cast<char>(bits & 0xFF));
    for (qsizetype i = 0; i < codes.size(); i += 255) {
        const qsizetype count = std::min<qsizetype>(255, codes.size() - i);
        out.append(static_cast<char>(count));
        out.append(codes.mid(i, count));
    }
    out.append('\0');
    out.append(static_cast<char>(0x3B));
    return out;
}

QByteArray ClaimSize(QByteArray bytes, const char* format, std::uint32_t width,
                     std::uint32_t height) {
    const QByteArray name(format);
    if (name == "png") {
        PutBe32(bytes, 16, width);
        PutBe32(bytes, 20, height);
        PutBe32(bytes, 29, Crc32(bytes.constData() + 12, 17));  // chunk type and data
    } else if (name == "bmp") {
        PutLe32(bytes, 18, width);
        PutLe32(bytes, 22, height);
    } else if (name == "jpeg") {
        const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
        PutBe16(bytes, frame + 5, height);
        PutBe16(bytes, frame + 7, width);
    } else if (name == "gif") {
        const auto packed = static_cast<std::uint8_t>(bytes[10]);
        const qsizetype descriptor = 13 + ((packed & 0x80) != 0 ? 3 * (2 << (packed & 7)) : 0);
        for (const qsizetype at : {qsizetype{6}, descriptor + 5}) {
            PutLe16(bytes, at, width);
            PutLe16(bytes, at + 2, height);
        }
    } else if (name == "tiff") {
        ClaimTiffSize(bytes, width, height);
    }
    return bytes;
}

std::vector<BadFile> MakeBadFiles(const QImage& picture) {
    using Outcome = BadFile::Outcome;
    std::vector<BadFile> files;
    files.push_back({QStringLiteral("empty.jpg"), QByteArray(), Outcome::Refused});
    files.push_back({QStringLiteral("notes.jpg"),
                     QByteArray("Shopping list\n- bread\n- 2 x milk\n").repeated(20),
                     Outcome::Refused});
    for (const char* format : kBadFileFormats) {
        const QByteArray whole = EncodePicture(picture, format);
        const QString stem = QString::fromLatin1(format);
        const QString extension = ExtensionOf(format);
        const auto add = [&](const QString& what, QByteArray bytes, Outcome outcome) {
            files.push_back(
                {stem + QLatin1Char('-') + what + extension, std::move(bytes), outcome});
        };
        // Cut in the header, at a third, at two thirds and just after the picture's last byte
        // (a PNG ends with a 12-byte end chunk, a GIF with a terminator and a trailer byte, whose
        // loss costs no pixel).
        const qsizetype tail = stem == QLatin1String("png")   ? 13
                               : stem == QLatin1String("gif") ? 2
                                                              : 1;
        for (const qsizetype cut :
             {qsizetype{20}, whole.size() / 3, 2 * whole.size() / 3, whole.size() - tail})
            add(QStringLiteral("cut-at-%1").arg(cut), whole.left(cut), Outcome::Refused);
        // A broken signature is refused, except by the GIF reader, which goes by the name alone
        // and decodes the rest as usual; flips elsewhere may still decode to a picture.
        QByteArray signature = whole;
        signature[0] = static_cast<char>(signature[0] ^ 0x20);
        add(QStringLiteral("flipped-signature"), signature,
            stem == QLatin1String("gif") ? Outcome::RefusedOrOpened : Outcome::Refused);
        constexpr int kFlips = 48;
        for (int k = 0; k < kFlips; ++k) {
            QByteArray flipped = whole;
            const qsizetype at = 2 + (whole.size() - 2) * k / kFlips;
            flipped[at] = static_cast<char>(flipped[at] ^ (1 << (k % 8)));
            add(QStringLiteral("flipped-at-%1").arg(at), flipped, Outcome::RefusedOrOpened);
        }
        const bool sixteenBitSides = stem == QLatin1String("jpeg") || stem == QLatin1String("gif");
        const std::uint32_t side = sixteenBitSides ? 65535 : 100000;
        add(QStringLiteral("claims-%1x%1").arg(side), ClaimSize(whole, format, side, side),
            Outcome::Refused);
    }
    return files;
}

}  // namespace velmora::test
