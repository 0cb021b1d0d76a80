#include "native_file_name.h"

#include <QStringList>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at `at`, or 0 when it is not one.
qsizetype SequenceLength(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

}  // namespace

QString FileNameFromNative(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype run = at;
        while (run < bytes.size()) {
            const qsizetype length = SequenceLength(bytes, run);
            if (length == 0) break;
            run += length;
        }
        name += QString::fromUtf8(bytes.sliced(at, run - at));
        if (run < bytes.size()) {
            name +=
                QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[run])));
            ++run;
        }
        at = run;
    }
    return name;
}

QByteArray NativeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype at = 0;
    while (at < name.size()) {
        qsizetype run = at;
        while (run < name.size()) {
            const char16_t unit = name[run].unicode();
            // An escaped byte: a lone low surrogate in the range the decoding above makes.
            const bool escaped = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF &&
                                 (run == 0 || !name[run - 1].isHighSurrogate());
            if (escaped) break;
            ++run;
        }
        bytes += name.sliced(at, run - at).toUtf8();
        if (run < name.size()) {
            bytes += static_cast<char>(name[run].unicode() - kEscapeBase);
            ++run;
        }
        at = run;
    }
    return bytes;
}

namespace {

// The entries of `folder` whose name Qt's decoding spells `shown`, kept as bytes.
QStringList EntriesShownAs(const QString& folder, const QString& shown) {
    QStringList found;
    const QByteArray path = NativeFileName(folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(path.constData()), ::closedir);
    if (!listing) return found;
    while (const dirent* entry = ::readdir(listing.get())) {
        const QByteArrayView bytes(entry->d_name);
        if (QFile::decodeName(bytes.toByteArray()) == shown) found += FileNameFromNative(bytes);
    }
    return found;
}

}  // namespace

std::optional<QString> FileShownByDialog(const QString& shown) {
    constexpr QChar kReplacement(0xFFFD);
    if (!shown.contains(kReplacement)) return shown;
    const QStringList parts = shown.split(QLatin1Char('/'));
    QString resolved;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString folder = i == 0               ? QStringLiteral(".")
                               : resolved.isEmpty() ? QStringLiteral("/")
                                                    : resolved;
        if (i > 0) resolved += QLatin1Char('/');
        if (!parts[i].contains(kReplacement)) {
            resolved += parts[i];
            continue;
        }
        const QStringList entries = EntriesShownAs(folder, parts[i]);
        if (entries.size() > 1) return std::nullopt;
        resolved += entries.isEmpty() ? parts[i] : entries.first();
    }
    return resolved;
}

int OpenNativeFile(const QString& name, int flags, unsigned mode) {
    return ::open(NativeFileName(name).constData(), flags | O_CLOEXEC, mode);
}

QString LocalFileOfUrl(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    // The percent-encoded path holds the name's bytes; toLocalFile() would decode them as UTF-8.
    const QString local = url.toLocalFile();
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // A URL with a host (file://server/share) keeps Qt's spelling of it.
    return url.host().isEmpty() ? FileNameFromNative(bytes) : local;
}

bool OpenForReading(QFile& file, const QString& name) {
    const int fd = OpenNativeFile(name, O_RDONLY);
    if (fd < 0) return false;
    // open(2) opens a folder for reading too; it is no file to read.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return false;
    }
    file.setFileName(name);
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

bool NativeFileExists(const QString& name) {
    return ::access(NativeFileName(name).constData(), F_OK) == 0;
}

bool NativeFileWritable(const QString& name) {
    return ::access(NativeFileName(name).constData(), W_OK) == 0;
}

}  // namespace velmora
