// The open path, bytes to document: any bytes, under any of the extensions people drop on the
// program, either become the document's one picture in full colour, with masks of its size and a
// fresh history, or are refused with one message while the picture open before stays as it was.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <vector>

#include "document/velmora_doc.h"
#include "imagefile/image_file.h"
#include "platform/message_boxes.h"

namespace {

class CountingMessages final : public velmora::MessageBoxes {
  public:
    void ShowError(const QString& text) override { errors.push_back(text); }
    void ShowNotice(const QString&) override {}
    bool AskYesNo(const QString&) override { return false; }
    std::vector<QString> errors;
};

// What a refused open must leave untouched.
struct Previous {
    QImage picture;
    QString path;
    std::int32_t top = 0;
    std::int32_t current = 0;
};

Previous Observe(const velmora::CVelmoraDoc& doc) {
    const velmora::PaintAccess access = doc.LockForPaint();
    return {access.Image() != nullptr ? access.Image()->copy() : QImage(), doc.PathName(),
            doc.History().top(), doc.History().current()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "open_image_fuzz";
    static char* argv[] = {name, nullptr};
    static const auto application = [] {
        // The readers' complaints about every mutated file would slow the run to a crawl.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return std::make_unique<QCoreApplication>(argc, argv);
    }();
    static QTemporaryDir scratch;
    static const char* const extensions[] = {".jpg",  ".png",  ".bmp",  ".gif", ".tif",
                                             ".webp", ".heic", ".avif", ""};
    static const QString known = [] {
        QImage picture(7, 5, QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) picture.setPixel(x, y, qRgb(x * 30, y * 50, 200));
        const QString path = scratch.filePath(QStringLiteral("known.png"));
        if (!picture.save(path)) std::abort();
        return path;
    }();
    static CountingMessages messages;
    static const auto doc = [] {
        auto made = std::make_unique<velmora::CVelmoraDoc>();
        made->SetMessageBoxes(&messages);
        return made;
    }();
    if (size == 0) return 0;

    // A picture is open before every attempt, as when a file is dropped on the program.
    if (doc->PathName() != QFileInfo(known).absoluteFilePath() && !doc->OnOpenDocument(known))
        std::abort();
    const Previous before = Observe(*doc);

    const QString path = scratch.filePath(
        QStringLiteral("input") + QLatin1String(extensions[data[0] % std::size(extensions)]));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    file.close();

    const std::size_t errors = messages.errors.size();
    if (doc->OnOpenDocument(path)) {
        const Previous after = Observe(*doc);
        const QImage& picture = after.picture;
        if (picture.isNull() || picture.colorCount() != 0 || messages.errors.size() != errors)
            std::abort();
        if (doc->FillMask().width() != picture.width() ||
            doc->SourceMask().height() != picture.height() || after.top != 0 || after.current != 0)
            std::abort();
    } else {
        if (messages.errors.size() != errors + 1 ||
            messages.errors.back() != QString::fromUtf8(velmora::kCannotOpenImageText))
            std::abort();
        const Previous after = Observe(*doc);
        if (after.picture != before.picture || after.path != before.path ||
            after.top != before.top || after.current != before.current)
            std::abort();
    }
    if (messages.errors.size() > 1000) messages.errors.clear();
    return 0;
}
