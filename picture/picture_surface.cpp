#include "picture/picture_surface.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "picture/bitmap_header.h"
#include "picture/bitmap_pixels.h"

namespace tavrel {

namespace {

constexpr std::uint32_t kWhiteRgb = 0xFFFFFFFFu;
// 96 dots per inch, which every bitmap written states.
constexpr int kDotsPerMetre = 3780;

// Large rasters ask for transparent huge pages before their memory is first
// touched: faulting in a 48 MB raster 4 KiB at a time costs more than all the
// pixel work done on it. Where the system does not offer them, nothing changes.
void AdviseHugePages(QImage& image) {
#ifdef MADV_HUGEPAGE
    constexpr qsizetype kWorthIt = 4 * 1024 * 1024;
    if (image.isNull() || image.sizeInBytes() < kWorthIt) {
        return;
    }
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(image.bits());
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last =
        (begin + static_cast<std::uintptr_t>(image.sizeInBytes())) / page * page;
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#else
    Q_UNUSED(image);
#endif
}

QImage NewRaster(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    AdviseHugePages(image);
    // Set now, while the raster is no one else's: set on a shared one, as
    // the bitmap writer would, it would copy the whole raster.
    image.setDotsPerMeterX(kDotsPerMetre);
    image.setDotsPerMeterY(kDotsPerMetre);
    return image;
}

}  // namespace

QImage ConvertedFormat(const QImage& image, QImage::Format format) {
    // Qt shares out the conversion of this many pixels or more.
    constexpr qsizetype kShared = qsizetype(2) << 16;
    if (image.isNull() || image.format() == format ||
        qsizetype(image.width()) * image.height() < kShared) {
        return image.convertToFormat(format);
    }
    QImage out = NewRaster(image.width(), image.height(), format);
    const int rows = std::max(1, int((kShared - 1) / image.width()));
    for (int y = 0; y < image.height() && !out.isNull(); y += rows) {
        const int h = std::min(rows, image.height() - y);
        QImage strip(image.constScanLine(y), image.width(), h, image.bytesPerLine(),
                     image.format());
        strip.setColorTable(image.colorTable());
        const QImage converted = strip.convertToFormat(format);
        if (converted.isNull()) {
            return QImage();
        }
        for (int i = 0; i < h; ++i) {
            std::memcpy(out.scanLine(y + i), converted.constScanLine(i),
                        size_t(std::min(out.bytesPerLine(), converted.bytesPerLine())));
        }
    }
    return out;
}

namespace {

// Pictures with transparency are shown on the boxes' white background, each
// channel laid over white exactly; the converters only ever see opaque
// 32-bit RGB. A picture held nowhere else is flattened in place.
QImage Opaque(QImage picture) {
    if (picture.isNull() || picture.format() == QImage::Format_RGB32) {
        return picture;
    }
    if (!picture.hasAlphaChannel()) {
        return ConvertedFormat(picture, QImage::Format_RGB32);
    }
    // Premultiplied channels are already c * a / 255: white adds 255 - a.
    const bool premultiplied = picture.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    const QImage::Format format =
        premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32;
    if (picture.format() != format) {
        picture = ConvertedFormat(picture, format);
    }
    if (picture.isNull() || picture.bits() == nullptr) {
        return QImage();  // no memory for the conversion or the copy
    }
    const auto& overWhite = OverWhiteTable();
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            line[x] = premultiplied ? qRgb(std::min(255, qRed(p) + 255 - a),
                                           std::min(255, qGreen(p) + 255 - a),
                                           std::min(255, qBlue(p) + 255 - a))
                                    : FlatPixel(overWhite[a], p);
        }
    }
    picture.reinterpretAsFormat(QImage::Format_RGB32);
    return picture;
}

// Copies a w by h block of 32-bit pixels; the caller has clipped it.
void CopyBlock(const QImage& from, int sx, int sy, QImage& to, int dx, int dy, int w, int h) {
    if (w <= 0 || h <= 0) {
        return;
    }
    const size_t bytes = static_cast<size_t>(w) * 4;
    for (int row = 0; row < h; ++row) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(from.constScanLine(sy + row)) + sx;
        auto* dst = reinterpret_cast<std::uint32_t*>(to.scanLine(dy + row)) + dx;
        std::memcpy(dst, src, bytes);
    }
}

// Clips a copy of w by h pixels from (sx, sy) of a sw-by-sh source to (dx, dy)
// of a dw-by-dh destination. Returns false when nothing is left.
bool Clip(int& sx, int& sy, int& dx, int& dy, int& w, int& h, int srcW, int srcH, int dstW,
          int dstH) {
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    w = std::min({w, srcW - sx, dstW - dx});
    h = std::min({h, srcH - sy, dstH - dy});
    return w > 0 && h > 0;
}

// Reads a picture with Qt's reader, into the image raster gives where the
// picture's size and format are known beforehand.
QImage ReadWithQt(QIODevice& device, const QString& path, const RasterSource& raster,
                  QString* error) {
    QImageReader reader(&device, QFileInfo(path).suffix().toLatin1().toLower());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    QImage image;
    const QSize size = reader.size();
    const QImage::Format format = reader.imageFormat();
    const qint64 bytes =
        qint64(size.width()) * size.height() * QImage::toPixelFormat(format).bitsPerPixel() / 8;
    if (size.isValid() && format != QImage::Format_Invalid &&
        bytes <= qint64(QImageReader::allocationLimit()) << 20) {
        image = raster(size, format);
        if (image.isNull()) {
            // Qt's reader would fail for it too, saying only that it could not read.
            *error = NotEnoughMemoryText();
            return image;
        }
    }
    if (!reader.read(&image)) {
        *error = reader.errorString();
        return QImage();
    }
    return image;
}

}  // namespace

PictureSurface::PictureSurface(int borderPixels, bool autoSize)
    : border_(std::max(0, borderPixels)),
      autoSize_(autoSize),
      widthPx_(2 * border_),
      heightPx_(2 * border_) {
    rebuildRaster(false);
}

int PictureSurface::innerW() const {
    return std::max(0, widthPx_ - 2 * border_);
}
int PictureSurface::innerH() const {
    return std::max(0, heightPx_ - 2 * border_);
}

int PictureSurface::toPixels(double v) const {
    const double px = scaleMode_ == ScaleUnit::Twips ? v / kTwipsPerPixel : v;
    const double f = std::floor(px);
    if (!(f > -2147483647.0)) {  // also catches NaN
        return -1;
    }
    return f >= 2147483647.0 ? 2147483647 : static_cast<int>(f);
}

void PictureSurface::Move(double left, double top, double width, double height) {
    leftPx_ = TwipsToPixels(left);
    topPx_ = TwipsToPixels(top);
    widthPx_ = std::max(0, TwipsToPixels(width));
    heightPx_ = std::max(0, TwipsToPixels(height));
    rebuildRaster(true);
}

double PictureSurface::ScaleWidth() const {
    return scaleMode_ == ScaleUnit::Twips ? innerW() * double(kTwipsPerPixel) : innerW();
}

double PictureSurface::ScaleHeight() const {
    return scaleMode_ == ScaleUnit::Twips ? innerH() * double(kTwipsPerPixel) : innerH();
}

double PictureSurface::ScaleX(double value, ScaleUnit from, ScaleUnit to) {
    if (from == to) {
        return value;
    }
    return from == ScaleUnit::Pixels ? value * kTwipsPerPixel : value / kTwipsPerPixel;
}

void PictureSurface::fillBackdrop(QImage& image) const {
    image.fill(kWhiteRgb);
    if (!picture_.isNull()) {
        CopyBlock(picture_, 0, 0, image, 0, 0, std::min(picture_.width(), image.width()),
                  std::min(picture_.height(), image.height()));
    }
}

void PictureSurface::rebuildRaster(bool keepPixels) {
    const int w = std::max(innerW(), reservedW_);
    const int h = std::max(innerH(), reservedH_);
    if (!raster_.isNull() && raster_.width() == w && raster_.height() == h) {
        return;
    }
    QImage next = NewRaster(w, h);
    if (next.isNull()) {
        // Out of memory (or an empty box): the raster becomes empty, which
        // callers that need it check with HoldsPixels.
        raster_ = QImage();
        return;
    }
    fillBackdrop(next);
    if (keepPixels && !raster_.isNull()) {
        CopyBlock(raster_, 0, 0, next, 0, 0, std::min(w, raster_.width()),
                  std::min(h, raster_.height()));
    }
    raster_ = std::move(next);
}

void PictureSurface::Cls() {
    fillBackdrop(raster_);
}

void PictureSurface::PSet(double x, double y, ColourValue colour) {
    const int px = toPixels(x);
    const int py = toPixels(y);
    if (px < 0 || py < 0 || px >= raster_.width() || py >= raster_.height()) {
        return;
    }
    reinterpret_cast<std::uint32_t*>(raster_.scanLine(py))[px] = RgbFromColour(colour);
}

ColourValue PictureSurface::Point(double x, double y) const {
    const int px = toPixels(x);
    const int py = toPixels(y);
    if (px < 0 || py < 0 || px >= raster_.width() || py >= raster_.height()) {
        return -1;
    }
    return ColourFromRgb(reinterpret_cast<const std::uint32_t*>(raster_.constScanLine(py))[px]);
}

void PictureSurface::PaintPicture(const QImage& pic, double dx, double dy, double dw, double dh,
                                  double sx, double sy, double sw, double sh) {
    if (pic.isNull() || raster_.isNull()) {
        return;
    }
    const QImage src = Opaque(pic);
    int x1 = toPixels(dx), y1 = toPixels(dy), w1 = toPixels(dw), h1 = toPixels(dh);
    int x2 = toPixels(sx), y2 = toPixels(sy), w2 = toPixels(sw), h2 = toPixels(sh);
    if (w1 <= 0 || h1 <= 0 || w2 <= 0 || h2 <= 0) {
        return;
    }
    if (w1 == w2 && h1 == h2) {
        if (Clip(x2, y2, x1, y1, w1, h1, src.width(), src.height(), raster_.width(),
                 raster_.height())) {
            CopyBlock(src, x2, y2, raster_, x1, y1, w1, h1);
        }
        return;
    }
    // Stretching: nearest pixel, as a picture box does.
    QPainter painter(&raster_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(x1, y1, w1, h1), src, QRect(x2, y2, w2, h2));
}

void PictureSurface::PaintPicture(const QImage& pic, double dx, double dy) {
    if (pic.isNull() || raster_.isNull()) {
        return;
    }
    const QImage src = Opaque(pic);
    int x1 = toPixels(dx), y1 = toPixels(dy), x2 = 0, y2 = 0;
    int w = src.width(), h = src.height();
    if (Clip(x2, y2, x1, y1, w, h, src.width(), src.height(), raster_.width(), raster_.height())) {
        CopyBlock(src, x2, y2, raster_, x1, y1, w, h);
    }
}

void PictureSurface::SetPicture(const QImage& picture) {
    picture_ = Opaque(picture);
    if (autoSize_ && !picture_.isNull()) {
        widthPx_ = picture_.width() + 2 * border_;
        heightPx_ = picture_.height() + 2 * border_;
    }
    rebuildRaster(false);
    Cls();
}

void PictureSurface::ClearPicture() {
    picture_ = QImage();
    Cls();
}

void PictureSurface::ReserveRaster(int w, int h) {
    reservedW_ = std::max(0, w);
    reservedH_ = std::max(0, h);
    rebuildRaster(true);
}

QImage PictureSurface::RasterView(int x, int y, QSize size) {
    if (x < 0 || y < 0 || size.isEmpty() || raster_.format() != QImage::Format_RGB32 ||
        size.width() > raster_.width() - x || size.height() > raster_.height() - y) {
        return QImage();
    }
    const qsizetype stride = raster_.bytesPerLine();
    return QImage(raster_.bits() + y * stride + qsizetype(x) * 4, size.width(), size.height(),
                  stride, QImage::Format_RGB32);
}

namespace {

void LimitReaders() {
    static std::once_flag limitOnce;
    // Big enough for any real bitmap, small enough that a header claiming
    // 100000 by 100000 pixels is refused before anything is allocated.
    std::call_once(limitOnce, [] { QImageReader::setAllocationLimit(kPictureMemoryLimitMB); });
}

// The decoding of LoadPicture, from an open device; path gives the format a
// guess.
QImage DecodePicture(QIODevice& input, const QString& path, QString* error,
                     const PictureTarget& target) {
    QIODevice* device = &input;
    // The image a reader fills: the caller's target, or one of our own, so
    // that a large one has its huge pages before it is decoded.
    const RasterSource raster = [&](QSize size, QImage::Format format) {
        QImage image;
        if (target) {
            image = target(size, format);
        }
        if (image.size() != size || image.format() != format) {
            image = NewRaster(size.width(), size.height(), format);
        }
        return image;
    };

    const BitmapPlan plan = PlanBitmap(device->peek(kBitmapHeadBytes), device->size());
    if (plan.route == BitmapRoute::Refused) {
        *error = plan.why;
        return QImage();
    }
    // The pixels read here, and those copied behind a rewritten header, are
    // held to Qt's reader's limit before any is read, as the 32-bit raster
    // every picture becomes.
    const bool ownRead =
        plan.route == BitmapRoute::BitFields || plan.route == BitmapRoute::RunLength;
    if ((ownRead || plan.route == BitmapRoute::QtPlainHeader) &&
        plan.width * plan.rows > (qint64(QImageReader::allocationLimit()) << 20) / 4) {
        *error = QStringLiteral("The picture needs more than %1 MB of memory")
                     .arg(QImageReader::allocationLimit());
        return QImage();
    }
    QImage image;
    QByteArray plain;
    QBuffer plainBuffer(&plain);
    if (ownRead) {
        image = plan.route == BitmapRoute::BitFields ? ReadBitFields(*device, plan, raster, error)
                                                     : ReadRunLength(*device, plan, raster, error);
    } else {
        if (plan.route == BitmapRoute::QtPlainHeader) {
            plain = WithPlainHeader(*device, plan);
            plainBuffer.open(QIODevice::ReadOnly);
            device = &plainBuffer;
        }
        image = ReadWithQt(*device, path, raster, error);
        // A palette shorter than the depth allows may leave pixels without
        // a colour.
        if (!image.isNull() && plan.route != BitmapRoute::NotABitmap && plan.bits <= 8 &&
            plan.paletteEntries < (1 << plan.bits) && !PaletteCoversPixels(image, error)) {
            return QImage();
        }
    }
    if (image.isNull()) {
        return image;  // with the reader's description
    }
    image = Opaque(std::move(image));
    if (image.isNull()) {
        *error = NotEnoughMemoryText();
    }
    return image;
}

// A picture file, read whole when it is small; path gives the format a guess.
QImage LoadFile(const QString& path, QString* error, const PictureTarget& target) {
    // A picture of a few megabytes at most is read whole and decoded from
    // memory; a larger one is streamed from the file, so it is never held
    // twice.
    QByteArray contents;
    QBuffer buffer(&contents);
    QFile file;
    QIODevice* device = &buffer;
    switch (ReadSmallRegularFile(path, kPictureReadWholeLimit, &contents, error)) {
        case SmallFileRead::Read:
            buffer.open(QIODevice::ReadOnly);
            break;
        case SmallFileRead::TooLarge:
            if (!OpenRegularFile(path, file, error)) {
                return QImage();
            }
            device = &file;
            break;
        case SmallFileRead::Failed:
            return QImage();
    }
    return DecodePicture(*device, path, error, target);
}

// Runs a load, which fails with the memory text where Qt's containers throw
// (a picture's data read whole, a header rewritten before its pixels).
template <typename Load>
QImage NullWithoutMemory(QString* error, Load&& load) {
    LimitReaders();
    try {
        return load();
    } catch (const std::bad_alloc&) {
        *error = NotEnoughMemoryText();
        return QImage();
    }
}

}  // namespace

QImage LoadPicture(const QString& path, QString* error, const PictureTarget& target) {
    return NullWithoutMemory(error, [&] { return LoadFile(path, error, target); });
}

QImage LoadPicture(const QByteArray& data, const QString& name, QString* error,
                   const PictureTarget& target) {
    return NullWithoutMemory(error, [&] {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        return DecodePicture(buffer, name, error, target);
    });
}

QString NotEnoughMemoryText() {
    return QStringLiteral("Not enough memory for the picture");
}

QByteArray EncodeBitmap(const QImage& image) {
    QImage rgb = ConvertedFormat(image, QImage::Format_RGB32);
    // A raster of this program's own states it already, and is not copied.
    rgb.setDotsPerMeterX(kDotsPerMetre);
    rgb.setDotsPerMeterY(kDotsPerMetre);
    QByteArray bytes;
    try {
        // The whole file at once: grown as the writer writes, it would be
        // moved and held twice over.
        bytes.reserve(14 + 40 + qsizetype((rgb.width() * 3 + 3) & ~3) * rgb.height());
    } catch (const std::bad_alloc&) {
        return QByteArray();
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(rgb)) {
        return QByteArray();
    }
    return bytes;
}

bool SavePicture(const QImage& image, const QString& path, const SaveOptions& options,
                 QString* error) {
    const QByteArray bytes = EncodeBitmap(image);
    if (bytes.isEmpty()) {
        // A picture that is there fails for want of memory only.
        *error = image.isNull() ? QStringLiteral("The picture cannot be encoded as a bitmap")
                                : NotEnoughMemoryText();
        return false;
    }
    return SaveFileAtomically(path, bytes, options, error);
}

}  // namespace tavrel
