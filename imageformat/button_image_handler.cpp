#include "imageformat/button_image_handler.h"

#include <QFileDevice>

#include <array>

#include "button_format/button_format.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/messages.h"
#include "files/sequential_file.h"

namespace tavrel {

namespace {

// Enough of the first line to tell a button file from other text.
constexpr qint64 kShapePeek = 256;

// The name messages give a device: its file name where it has one.
QString DeviceName(const QIODevice* device) {
    const auto* file = qobject_cast<const QFileDevice*>(device);
    return file != nullptr ? file->fileName() : QString();
}

}  // namespace

bool ButtonImageHandler::canRead(QIODevice* device) {
    if (device == nullptr || !device->isReadable()) {
        return false;
    }
    const QByteArray head = device->peek(kShapePeek);
    return btn::LooksLikeButtonFile(std::string_view(head.constData(), head.size()));
}

bool ButtonImageHandler::canRead() const {
    // Once the Size option has read the text, the device is past it; after
    // a read, whatever its outcome, there is no further image.
    if (readTried_ || (loaded_ ? !readable_ : !canRead(device()))) {
        return false;
    }
    setFormat("btn");
    return true;
}

bool ButtonImageHandler::loadRows() const {
    if (loaded_) {
        return readable_;
    }
    loaded_ = true;
    error_.clear();
    if (device() == nullptr) {
        return false;
    }
    const QString name = DeviceName(device());
    ReadNotes notes;
    QString readError;
    if (ReadButtonFile(*device(), rows_, &readError, &notes) == 0) {
        error_ = readError.isEmpty()
                     ? DrawFailedText(name, QStringLiteral("the file holds no rows"))
                     : FailureText(kOpenAction, name, readError);
        return false;
    }
    if (rows_[0].isEmpty()) {
        error_ = DrawFailedText(name, QStringLiteral("the first row holds no pixels"));
        return false;
    }
    if (rows_[0].size() > kMaxButtonColumns) {
        error_ = DrawFailedText(name, TooWideDescription());
        return false;
    }
    if (notes.truncated) {
        error_ = TruncatedText(name, static_cast<int>(rows_.size()));
    }
    readable_ = true;
    return true;
}

bool ButtonImageHandler::read(QImage* image) {
    readTried_ = true;
    if (!loadRows()) {
        return false;
    }
    const int rows = static_cast<int>(rows_.size());
    const int cols = static_cast<int>(rows_[0].size());
    QImage out;
    // Honours the reader's allocation limit.
    if (!allocateImage(QSize(cols, rows), QImage::Format_Grayscale8, &out)) {
        error_ = DrawFailedText(DeviceName(device()), QStringLiteral("not enough memory"));
        return false;
    }
    // The grey of each pixel character, by the window's colours; -1 for any
    // other character.
    static const std::array<int, 256> greys = [] {
        std::array<int, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const ColourValue colour = ButtonColour(static_cast<char>(c));
            t[c] = colour < 0 ? -1 : static_cast<int>(colour & 0xFF);
        }
        return t;
    }();
    for (int r = 0; r < rows; ++r) {
        const QByteArray& row = std::as_const(rows_)[r];
        const auto* chars = reinterpret_cast<const uchar*>(row.constData());
        uchar* line = out.scanLine(r);
        for (int c = 0; c < cols; ++c) {
            const int grey = c < row.size() ? greys[chars[c]] : -1;
            if (grey < 0) {
                // A short row ends the message with ")" and nothing after it.
                const QString found =
                    c < row.size() ? QString(QChar::fromLatin1(row[c])) : QString();
                error_ = UnknownValueText(c + 1, r + 1, found);
                return false;
            }
            line[c] = static_cast<uchar>(grey);
        }
    }
    *image = std::move(out);
    return true;
}

bool ButtonImageHandler::write(const QImage& image) {
    error_.clear();
    const QString name = DeviceName(device());
    if (device() == nullptr || image.isNull()) {
        error_ = FailureText(kSaveAction, name, QStringLiteral("there is no image"));
        return false;
    }
    // A wider or taller picture would be refused when read back.
    const QString tooLarge = ButtonFileSizeProblem(image.width(), image.height());
    if (!tooLarge.isEmpty()) {
        error_ = FailureText(kSaveAction, name, tooLarge);
        return false;
    }
    const std::array<char, 256>& levels = btn::Levels();
    // Premultiplied, a pixel over white has red + 255 - alpha.
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = argb.width();
    SequentialOutput out;
    out.Reserve(static_cast<qsizetype>(argb.height()) * (w + 8));
    QByteArray row(w, '0');
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            row[x] = levels[qRed(line[x]) + 255 - qAlpha(line[x])];
        }
        WriteButtonLine(out, y, row.constData(), w);
    }
    if (device()->write(out.Data()) != out.Data().size()) {
        error_ = FailureText(kSaveAction, name, device()->errorString());
        return false;
    }
    return true;
}

QVariant ButtonImageHandler::option(ImageOption option) const {
    if (option == ImageFormat) {
        return QImage::Format_Grayscale8;
    }
    // From the text alone: nothing is drawn.
    if (option == Size && loadRows()) {
        return QSize(static_cast<int>(rows_[0].size()), static_cast<int>(rows_.size()));
    }
    return {};
}

bool ButtonImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == ImageFormat;
}

}  // namespace tavrel
