// The open path: any bytes, under any of the extensions people drop on the program, either decode
// to a picture in full colour or give no picture; never a crash.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

#include "document/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "open_image_fuzz";
    static char* argv[] = {name, nullptr};
    static const auto application = std::make_unique<QCoreApplication>(argc, argv);
    static QTemporaryDir scratch;
    static const char* const extensions[] = {".jpg", ".png", ".bmp", ".gif", ".tif", ".webp", ""};
    if (size == 0) return 0;
    const QString path =
        scratch.filePath(QStringLiteral("input") + QLatin1String(extensions[data[0] % 7]));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    file.close();
    const std::optional<velmora::OpenedImage> opened = velmora::OpenImageFile(path);
    if (opened && (opened->image.isNull() || opened->image.colorCount() != 0)) std::abort();
    return 0;
}
