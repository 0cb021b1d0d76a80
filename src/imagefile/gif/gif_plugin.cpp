// Qt reads GIF but cannot write it; this plugin adds the writer under the format "gif", so
// QImageWriter and everything that asks it for its formats find one.
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <memory>

#include "gif_encoder.h"

namespace velmora {

namespace {

class GifWriteHandler final : public QImageIOHandler {
  public:
    bool canRead() const override { return false; }
    bool read(QImage* /*image*/) override { return false; }
    bool write(const QImage& image) override {
        return device() != nullptr && WriteGif(image, *device());
    }
};

}  // namespace

class GifWriterPlugin final : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "gif_writer.json")

  public:
    Capabilities capabilities(QIODevice* /*device*/, const QByteArray& format) const override {
        // Reading stays with Qt's own GIF reader.
        return format == "gif" ? Capabilities(CanWrite) : Capabilities();
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto handler = std::make_unique<GifWriteHandler>();
        handler->setDevice(device);
        handler->setFormat(format);
        return handler.release();  // the caller (QImageWriter) owns the handler
    }
};

}  // namespace velmora

#include "gif_plugin.moc"
