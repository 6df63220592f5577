#include <QImageIOPlugin>

#include "imageformat/button_image_handler.h"

namespace tavrel {

// Makes button files ("btn") readable and writable by every Qt program.
class ButtonImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "btn.json")

  public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
        if (format == "btn") {
            return CanRead | CanWrite;
        }
        // Without a format, only a device whose text has the right shape.
        if (!format.isEmpty() || device == nullptr || !device->isOpen()) {
            return {};
        }
        Capabilities result;
        if (device->isReadable() && ButtonImageHandler::canRead(device)) {
            result |= CanRead;
        }
        return result;
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new ButtonImageHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArrayLiteral("btn") : format);
        return handler;
    }
};

}  // namespace tavrel

#include "button_plugin.moc"
