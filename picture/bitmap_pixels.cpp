#include "picture/bitmap_pixels.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "button_format/button_format.h"
#include "picture/picture_surface.h"

namespace tavrel {

namespace {

QString MissingEntryText(int entry, int entries) {
    return QStringLiteral("A pixel uses palette entry %1, but the palette holds %2")
        .arg(entry)
        .arg(entries);
}

// One channel of a bit-field pixel, widened exactly to 0..255.
class Channel {
  public:
    explicit Channel(std::uint32_t mask)
        : mask_(mask), shift_(mask == 0 ? 0 : std::countr_zero(mask)), top_(mask >> shift_) {
        // Channels of up to 16 bits, all but the rarest, look their values up.
        if (top_ <= 0xFFFF) {
            table_.resize(top_ + 1);
            for (std::uint64_t v = 0; v <= top_; ++v) {
                table_[v] = Widen(v);
            }
        }
    }

    std::uint8_t operator()(std::uint32_t pixel) const {
        const std::uint64_t v = (pixel & mask_) >> shift_;
        return top_ <= 0xFFFF ? table_[v] : Widen(v);
    }

  private:
    // round(v * 255 / top), in integers.
    std::uint8_t Widen(std::uint64_t v) const {
        return top_ == 0 ? 0 : std::uint8_t((v * 510 + top_) / (2 * top_));
    }

    std::uint32_t mask_;
    int shift_;
    std::uint64_t top_;
    std::vector<std::uint8_t> table_;
};

QSize SizeOf(const BitmapPlan& plan) {
    return QSize(int(plan.width), int(plan.rows));
}

int ImageRow(const BitmapPlan& plan, std::int64_t fileRow) {
    return int(plan.topDown ? fileRow : plan.rows - 1 - fileRow);
}

}  // namespace

const std::array<OverWhiteRow, 256>& OverWhiteTable() {
    static const std::array<OverWhiteRow, 256> table = [] {
        std::array<OverWhiteRow, 256> t{};
        for (int a = 0; a < 256; ++a) {
            for (int c = 0; c < 256; ++c) {
                t[a][c] = static_cast<std::uint8_t>(btn::OverWhite(c, a));
            }
        }
        return t;
    }();
    return table;
}

QImage ReadBitFields(QIODevice& device, const BitmapPlan& plan, const RasterSource& raster,
                     QString* error) {
    const Channel red(plan.masks[0]), green(plan.masks[1]), blue(plan.masks[2]);
    const Channel alpha(plan.masks[3]);
    const bool transparent = plan.masks[3] != 0;
    const auto& overWhite = OverWhiteTable();
    // Opaque at once, so that the picture is read straight into its box.
    QImage image = raster(SizeOf(plan), QImage::Format_RGB32);
    if (image.isNull()) {
        *error = NotEnoughMemoryText();
        return image;
    }
    const int bytes = plan.bits / 8;
    const qint64 rowBytes = RowBytes(plan);
    QByteArray row(rowBytes, Qt::Uninitialized);
    device.seek(plan.dataOffset);
    for (std::int64_t i = 0; i < plan.rows; ++i) {
        // The last row's padding may be missing, its pixels may not (the
        // file may have shrunk since it was measured).
        if (device.read(row.data(), rowBytes) < RowPixelBytes(plan)) {
            *error = MissingPixelDataText();
            return QImage();
        }
        const auto* in = reinterpret_cast<const uchar*>(row.constData());
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(ImageRow(plan, i)));
        for (std::int64_t x = 0; x < plan.width; ++x, in += bytes) {
            std::uint32_t pixel = in[0] | std::uint32_t(in[1]) << 8;
            if (bytes == 4) {
                pixel |= std::uint32_t(in[2]) << 16 | std::uint32_t(in[3]) << 24;
            }
            const QRgb rgb = qRgb(red(pixel), green(pixel), blue(pixel));
            out[x] = transparent ? FlatPixel(overWhite[alpha(pixel)], rgb) : rgb;
        }
    }
    return image;
}

QImage ReadRunLength(QIODevice& device, const BitmapPlan& plan, const RasterSource& raster,
                     QString* error) {
    device.seek(plan.paletteOffset);
    const QByteArray entries = device.read(qint64(plan.paletteEntries) * plan.paletteEntryBytes);
    if (entries.size() < qint64(plan.paletteEntries) * plan.paletteEntryBytes) {
        *error = MissingPixelDataText();
        return QImage();
    }
    std::vector<QRgb> palette;
    for (int i = 0; i < plan.paletteEntries; ++i) {
        const auto* e = reinterpret_cast<const uchar*>(entries.constData()) +
                        qsizetype(i) * plan.paletteEntryBytes;
        palette.push_back(qRgb(e[2], e[1], e[0]));
    }
    QImage image = raster(SizeOf(plan), QImage::Format_RGB32);
    if (image.isNull()) {
        *error = NotEnoughMemoryText();
        return image;
    }
    image.fill(0xFFFFFFFFu);

    // No encoding that sets only pixels of the picture takes more than 4
    // bytes a pixel (one passed over by a one-pixel delta move) and an end of
    // line a row, and an end of the bitmap: whatever a file holds past that is
    // never read, so its memory follows the picture, not the file.
    const qint64 most = plan.rows * (4 * plan.width + 2) + 2;
    device.seek(plan.dataOffset);
    const QByteArray data =
        device.read(std::clamp<qint64>(device.size() - plan.dataOffset, 0, most));
    const auto* s = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype end = data.size();
    const bool rle4 = plan.bits == 4;
    std::int64_t x = 0;
    std::int64_t y = 0;  // rows in file order
    // Sets the next count pixels of the row, the i-th to entry index(i).
    const auto run = [&](int count, const auto& index) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(ImageRow(plan, y)));
        for (int i = 0; i < count; ++i, ++x) {
            const int entry = index(i);
            if (entry >= plan.paletteEntries) {
                *error = MissingEntryText(entry, plan.paletteEntries);
                return false;
            }
            if (x < plan.width) {
                line[x] = palette[entry];
            }
        }
        return true;
    };
    qsizetype at = 0;
    while (at + 1 < end && y < plan.rows) {
        const int count = s[at];
        const int code = s[at + 1];
        at += 2;
        bool valid = true;
        if (count > 0) {
            // count pixels of one entry, or in RLE4 of two taking turns
            valid = run(count, [&](int i) { return !rle4 ? code : i % 2 ? code & 15 : code >> 4; });
        } else if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // delta: a move right and up the rows
            if (at + 1 >= end) {
                break;
            }
            x += s[at];
            y += s[at + 1];
            at += 2;
        } else {  // code pixels given one by one, padded to 16 bits
            const qsizetype bytes = rle4 ? (code + 1) / 2 : code;
            if (at + bytes > end) {
                break;
            }
            const uchar* given = s + at;
            valid = run(code, [&](int i) {
                return !rle4 ? given[i] : i % 2 ? given[i / 2] & 15 : given[i / 2] >> 4;
            });
            at += bytes + (bytes & 1);
        }
        if (!valid) {
            return QImage();
        }
    }
    return image;
}

QByteArray WithPlainHeader(QIODevice& device, const BitmapPlan& plan) {
    const int entries = plan.bits <= 8 ? plan.paletteEntries : 0;
    const qint64 offset = 14 + 40 + qint64(entries) * 4;
    // Only the rows the header announces are read, straight into place.
    const qint64 pixelBytes = plan.rows * RowBytes(plan);
    QByteArray out;
    out.reserve(offset + pixelBytes);
    const auto put = [&out](std::int64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.append(char((value >> (8 * i)) & 0xFF));
        }
    };
    out.append("BM");
    put(offset + pixelBytes, 4);
    put(0, 4);
    put(offset, 4);
    put(40, 4);
    put(plan.width, 4);
    put(plan.topDown ? -plan.rows : plan.rows, 4);
    put(1, 2);
    put(plan.bits, 2);
    put(0, 4);  // no compression
    put(0, 4);
    put(0, 4);
    put(0, 4);
    put(entries, 4);
    put(0, 4);
    device.seek(plan.paletteOffset);
    const QByteArray palette = device.read(qint64(entries) * plan.paletteEntryBytes);
    for (int i = 0; i < entries; ++i) {
        out.append(palette.mid(qsizetype(i) * plan.paletteEntryBytes, 3));
        out.append('\0');
    }
    const qsizetype start = out.size();
    out.resize(start + pixelBytes);
    device.seek(plan.dataOffset);
    // The last row's padding may be missing: it is zeros here. Less than
    // that (the file shrank since it was measured) leaves no picture.
    const qint64 read = device.read(out.data() + start, pixelBytes);
    const qint64 padding = RowBytes(plan) - RowPixelBytes(plan);
    if (read < pixelBytes - padding) {
        return QByteArray();
    }
    std::fill(out.begin() + start + read, out.end(), '\0');
    return out;
}

bool PaletteCoversPixels(const QImage& indexed, QString* error) {
    const int entries = indexed.colorCount();
    const QImage bytes = indexed.format() == QImage::Format_Indexed8
                             ? indexed
                             : ConvertedFormat(indexed, QImage::Format_Indexed8);
    for (int y = 0; y < bytes.height(); ++y) {
        const uchar* line = bytes.constScanLine(y);
        for (int x = 0; x < bytes.width(); ++x) {
            if (line[x] >= entries) {
                *error = MissingEntryText(line[x], entries);
                return false;
            }
        }
    }
    return true;
}

}  // namespace tavrel
