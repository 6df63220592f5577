#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

#include "picture/bitmap_header.h"

namespace tavrel {

// The image a reader fills: of exactly the size and format asked for, or null
// when there is no memory for it.
using RasterSource = std::function<QImage(QSize size, QImage::Format format)>;

// A channel laid over white at each alpha: OverWhiteTable()[a][c] is
// round((c * a + 255 * (255 - a)) / 255).
using OverWhiteRow = std::array<std::uint8_t, 256>;
const std::array<OverWhiteRow, 256>& OverWhiteTable();
// A pixel of straight (not premultiplied) alpha, made opaque over white by
// the table's row for its alpha.
inline QRgb FlatPixel(const OverWhiteRow& overWhite, QRgb pixel) {
    return qRgb(overWhite[qRed(pixel)], overWhite[qGreen(pixel)], overWhite[qBlue(pixel)]);
}

// Reads a BitFields bitmap. An n-bit channel value v becomes
// round(v * 255 / (2^n - 1)): 31 of 31 is 255, 20 of 31 is 165, 1 of 1 is
// 255. With an alpha mask each pixel is laid over white. On failure a null
// image and a description.
QImage ReadBitFields(QIODevice& device, const BitmapPlan& plan, const RasterSource& raster,
                     QString* error);

// Reads a RunLength bitmap. Pixels that the runs never set (passed over by a
// delta move, an early end of line or of the bitmap) are white, the
// background; pixels past the end of a row are dropped.
QImage ReadRunLength(QIODevice& device, const BitmapPlan& plan, const RasterSource& raster,
                     QString* error);

// A QtPlainHeader bitmap file given a 40-byte header and a palette of 4-byte
// entries, holding as many entries as the pixels can address; of the pixel
// data only the rows the header announces are read.
QByteArray WithPlainHeader(QIODevice& device, const BitmapPlan& plan);

// False, with a description, when a pixel of an indexed image (1 or 8 bits)
// uses an entry past the end of its palette.
bool PaletteCoversPixels(const QImage& indexed, QString* error);

}  // namespace tavrel
