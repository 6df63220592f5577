#include "imageformat/button_image_handler.h"

#include <QByteArray>
#include <QFileDevice>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

#include "button_format/button_format.h"
#include "button_format/messages.h"

namespace tavrel {

namespace {

static_assert(btn::kMaxColumns == 32764 && btn::kMaxFileRows == 100000,
              "the refusals in button_format/messages.h name these limits");

constexpr char kOpenAction[] = "Unable to open file ";
constexpr char kSaveAction[] = "Unable to save file ";

// Enough of the first line to tell a button file from other text.
constexpr qint64 kShapePeek = 256;
// The bytes read from or written to the device at a time.
constexpr qint64 kChunk = 64 * 1024;
// About this many bytes of the picture are converted to 32 bits at a time
// when writing, so a large picture is never copied whole.
constexpr qint64 kBandBytes = 1 << 20;
// Qt 5 has no allocation limit; its readers keep the default of the Qt 6
// we build with, so both plugins read the same files.
constexpr int kQt5AllocationLimit = 128;

// The name messages give a device: its file name where it has one.
QString DeviceName(const QIODevice* device) {
    const auto* file = qobject_cast<const QFileDevice*>(device);
    return file != nullptr ? file->fileName() : QString();
}

// The memory a picture may take, in Qt's count of 4 bytes a pixel whatever
// the format; 0 for no limit.
qint64 AllocationLimitBytes() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return qint64{QImageReader::allocationLimit()} << 20;
#else
    return qint64{kQt5AllocationLimit} << 20;
#endif
}

// Keeps the greys of each row the format's reader finds, row after row in
// one block that becomes the image's own memory: the text is never held,
// and the picture is never copied.
class GreyRows : public btn::RowSink {
  public:
    enum class Problem { None, NoPixels, TooWide, OverLimit, NoMemory, UnknownValue };

    // expectedBytes: what the device still holds, -1 when it cannot tell.
    GreyRows(qint64 maxPixels, qint64 expectedBytes)
        : maxPixels_(maxPixels), expectedBytes_(expectedBytes) {}
    ~GreyRows() override { std::free(data_); }
    GreyRows(const GreyRows&) = delete;
    GreyRows& operator=(const GreyRows&) = delete;

    bool Row(std::string_view pixels) override {
        if (rows_ == 0) {
            width_ = static_cast<qint64>(pixels.size());
            if (width_ == 0) {
                return Stop(Problem::NoPixels);
            }
            if (width_ > btn::kMaxColumns) {
                return Stop(Problem::TooWide);
            }
            stride_ = (width_ + 3) & ~qint64{3};  // Qt's own scan-line alignment
        }
        if ((rows_ + 1) * width_ > maxPixels_) {
            return Stop(Problem::OverLimit);
        }
        if (rows_ == capacity_ && !Grow()) {
            return Stop(Problem::NoMemory);
        }
        const std::size_t good = btn::RowGreys(pixels, static_cast<std::size_t>(width_),
                                               data_ + rows_ * stride_, &character_);
        if (static_cast<qint64>(good) != width_) {
            column_ = static_cast<long>(good) + 1;
            return Stop(Problem::UnknownValue);
        }
        ++rows_;
        return true;
    }

    // The image, which from then on owns the greys; null without memory.
    QImage TakeImage() {
        if (capacity_ > rows_) {
            if (void* fitted = std::realloc(data_, static_cast<std::size_t>(rows_ * stride_))) {
                data_ = static_cast<uchar*>(fitted);
            }
        }
        QImage image(data_, static_cast<int>(width_), static_cast<int>(rows_), stride_,
                     QImage::Format_Grayscale8, std::free, data_);
        if (!image.isNull()) {
            data_ = nullptr;
        }
        return image;
    }

    Problem problem() const { return problem_; }
    qint64 rows() const { return rows_; }
    long column() const { return column_; }
    int character() const { return character_; }

  private:
    bool Stop(Problem problem) {
        problem_ = problem;
        return false;
    }

    // Room for more rows: at once for all the device's bytes can hold, each
    // valid row taking at least its pixels and seven bytes; else doubling.
    bool Grow() {
        const qint64 most = std::min<qint64>(btn::kMaxFileRows, maxPixels_ / width_);
        qint64 wanted = capacity_ * 2;
        if (capacity_ == 0) {
            wanted = expectedBytes_ < 0 ? 64 : (expectedBytes_ + 1) / (width_ + 7) + 1;
        }
        wanted = std::clamp(wanted, rows_ + 1, most);
        void* grown = std::realloc(data_, static_cast<std::size_t>(wanted * stride_));
        if (grown == nullptr) {
            return false;
        }
        data_ = static_cast<uchar*>(grown);
        capacity_ = wanted;
        return true;
    }

    qint64 maxPixels_;
    qint64 expectedBytes_;
    uchar* data_ = nullptr;
    qint64 capacity_ = 0;
    qint64 rows_ = 0;
    qint64 width_ = 0;
    qint64 stride_ = 0;
    Problem problem_ = Problem::None;
    long column_ = 0;
    int character_ = -1;
};

}  // namespace

bool ButtonImageHandler::canRead(QIODevice* device) {
    if (device == nullptr || !device->isReadable()) {
        return false;
    }
    try {
        const QByteArray head = device->peek(kShapePeek);
        return btn::LooksLikeButtonFile(
            std::string_view(head.constData(), static_cast<std::size_t>(head.size())));
    } catch (...) {
        return false;
    }
}

bool ButtonImageHandler::canRead() const {
    // Once the Size option has read the text, the device is past it; after
    // a read, whatever its outcome, there is no further image.
    if (delivered_ || (state_ != State::Unread ? state_ == State::Failed : !canRead(device()))) {
        return false;
    }
    setFormat("btn");
    return true;
}

void ButtonImageHandler::fail(const char* action, const QString& description) const {
    try {
        error_ = QString::fromLatin1(action) + DeviceName(device()) + QChar(13) +
                 QStringLiteral("Error: ") + description;
    } catch (...) {
        error_.clear();  // no memory even for the message
    }
}

bool ButtonImageHandler::load() const {
    if (state_ == State::Unread) {
        state_ = State::Failed;
        error_.clear();
        try {
            if (device() != nullptr && loadFrom(*device())) {
                state_ = State::Loaded;
            }
        } catch (...) {
            image_ = QImage();
            fail(TAVREL_BTN_DRAW_ACTION, QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT));
        }
    }
    return state_ == State::Loaded;
}

bool ButtonImageHandler::loadFrom(QIODevice& device) const {
    const qint64 limit = AllocationLimitBytes();
    const qint64 maxPixels = limit > 0 ? limit / 4 : qint64{btn::kMaxColumns} * btn::kMaxFileRows;
    btn::Limits limits;
    limits.maxRows = btn::kMaxFileRows;
    // Far more text than the pixels allowed (rows far longer than the first)
    // is not read to its end.
    limits.maxBytes = static_cast<std::size_t>(2 * maxPixels + 16 * btn::kMaxFileRows);
    GreyRows greys(maxPixels, device.isSequential() ? -1 : device.size() - device.pos());
    btn::Reader reader(limits, &greys);
    if (!btn::FeedAll(reader, [&device](char* buffer, std::size_t size) {
            const qint64 n = device.read(buffer, static_cast<qint64>(size));
            // A finished process's output, say, ends in -1 rather than 0.
            return n < 0 && device.isSequential() && device.atEnd() ? 0 : n;
        })) {
        fail(kOpenAction, device.errorString());
        return false;
    }

    QString why;
    switch (greys.problem()) {
        case GreyRows::Problem::None:
            break;
        case GreyRows::Problem::NoPixels:
            why = QStringLiteral(TAVREL_BTN_NO_PIXELS_TEXT);
            break;
        case GreyRows::Problem::TooWide:
            why = QStringLiteral(TAVREL_BTN_TOO_WIDE_TEXT);
            break;
        case GreyRows::Problem::OverLimit:
            why = QStringLiteral("the picture needs more than %1 MB of memory").arg(limit >> 20);
            break;
        case GreyRows::Problem::NoMemory:
            why = QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT);
            break;
        case GreyRows::Problem::UnknownValue: {
            const std::string text =
                btn::UnknownValueText(greys.column(), greys.rows() + 1, greys.character());
            error_ = QString::fromLatin1(text.data(), static_cast<int>(text.size()));
            return false;
        }
    }
    if (why.isEmpty() && reader.OutOfMemory()) {
        why = QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT);
    } else if (why.isEmpty() && reader.Truncated()) {
        // Refused, never cut: a picture read in part would pass for whole.
        if (reader.BytesTaken() > limits.maxBytes) {
            why = QStringLiteral("the file is larger than %1 MB").arg(limits.maxBytes >> 20);
        } else if (greys.rows() == btn::kMaxFileRows) {
            why = QStringLiteral(TAVREL_BTN_TOO_TALL_TEXT);
        } else {
            why = QStringLiteral(TAVREL_BTN_LONG_LINE_TEXT);
        }
    } else if (why.isEmpty() && greys.rows() == 0) {
        why = QStringLiteral(TAVREL_BTN_NO_ROWS_TEXT);
    }
    if (why.isEmpty()) {
        image_ = greys.TakeImage();
        if (!image_.isNull()) {
            size_ = image_.size();
            return true;
        }
        why = QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT);
    }
    fail(TAVREL_BTN_DRAW_ACTION, why);
    return false;
}

bool ButtonImageHandler::read(QImage* image) {
    // One picture a file: a host that reads until it fails gets it once.
    if (delivered_) {
        return false;
    }
    delivered_ = true;
    if (!load()) {
        return false;
    }
    *image = std::move(image_);
    image_ = QImage();
    return true;
}

bool ButtonImageHandler::write(const QImage& image) {
    error_.clear();
    try {
        if (device() == nullptr || image.isNull()) {
            fail(kSaveAction, QStringLiteral("there is no image"));
            return false;
        }
        // A wider or taller picture would be refused when read back.
        if (image.width() > btn::kMaxColumns) {
            fail(kSaveAction, QStringLiteral(TAVREL_BTN_TOO_WIDE_TEXT));
            return false;
        }
        if (image.height() > btn::kMaxFileRows) {
            fail(kSaveAction, QStringLiteral(TAVREL_BTN_TOO_TALL_TEXT));
            return false;
        }
        return writeTo(*device(), image);
    } catch (...) {
        fail(kSaveAction, QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT));
        return false;
    }
}

bool ButtonImageHandler::writeTo(QIODevice& device, const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    // The whole text first: a picture that cannot get its memory leaves the
    // device untouched rather than holding part of a file.
    std::string text;
    text.reserve(static_cast<std::size_t>(h) * (static_cast<std::size_t>(w) + 8));
    std::string pixels(static_cast<std::size_t>(w), '0');
    const std::array<char, 256>& levels = btn::Levels();
    const int band = static_cast<int>(std::max<qint64>(1, kBandBytes / (4 * qint64{w})));
    for (int top = 0; top < h; top += band) {
        // Straight, not premultiplied, colour: every format Qt has becomes
        // red and alpha in 0 to 255, laid over white exactly.
        const QImage argb =
            image.copy(0, top, w, std::min(band, h - top)).convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull()) {
            fail(kSaveAction, QStringLiteral(TAVREL_BTN_NO_MEMORY_TEXT));
            return false;
        }
        for (int y = 0; y < argb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const int alpha = qAlpha(line[x]);
                const int red = alpha == 255 ? qRed(line[x]) : btn::OverWhite(qRed(line[x]), alpha);
                pixels[static_cast<std::size_t>(x)] = levels[static_cast<std::size_t>(red)];
            }
            btn::AppendLine(text, top + y, pixels);
        }
    }
    for (std::size_t done = 0; done < text.size();) {
        const qint64 n =
            device.write(text.data() + done, std::min<qint64>(kChunk, qint64(text.size() - done)));
        if (n <= 0) {
            fail(kSaveAction, device.errorString());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

QVariant ButtonImageHandler::option(ImageOption option) const {
    if (option == ImageFormat) {
        return QImage::Format_Grayscale8;
    }
    if (option == Size && load()) {
        return size_;
    }
    return {};
}

bool ButtonImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == ImageFormat;
}

}  // namespace tavrel
