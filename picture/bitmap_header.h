#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace tavrel {

// How a bitmap file is read. Qt's reader reads most kinds right; the kinds it
// gets wrong are read here or refused with a description of what is not
// supported.
enum class BitmapRoute {
    NotABitmap,     // no "BM" signature: another format, for Qt to recognise
    Refused,        // BitmapPlan::why says what is not supported
    Qt,             // Qt's reader reads the file as it is
    QtPlainHeader,  // Qt's reader reads it once its header is a 40-byte one
    BitFields,      // pixels of 16 or 32 bits whose channels are bit fields
    RunLength,      // RLE4 or RLE8
};

// What the headers of a bitmap file say, as far as reading it needs.
struct BitmapPlan {
    BitmapRoute route = BitmapRoute::NotABitmap;
    QString why;
    std::int64_t width = 0;
    std::int64_t rows = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = 0;
    // Red, green, blue and alpha bit fields; 0 where a channel has none.
    std::array<std::uint32_t, 4> masks{};
    std::int64_t paletteOffset = 0;
    int paletteEntryBytes = 4;  // 3 in an OS/2 1.x bitmap
    int paletteEntries = 0;     // those the pixels can address
    // Where the pixels start: the header's offset, or the end of the
    // palette where the offset points into the headers or into a palette
    // whose length the header gives.
    std::int64_t dataOffset = 0;
};

// The bytes of one row of uncompressed pixels, padded to 32 bits, and of
// the row's pixels alone (all the last row of a file may hold).
inline qint64 RowBytes(const BitmapPlan& plan) {
    return (plan.width * plan.bits + 31) / 32 * 4;
}
inline qint64 RowPixelBytes(const BitmapPlan& plan) {
    return (plan.width * plan.bits + 7) / 8;
}

// The most of a file's start that PlanBitmap needs.
inline constexpr int kBitmapHeadBytes = 14 + 124 + 16;

// Decides how a file is read from its first bytes (up to kBitmapHeadBytes)
// and its size, so that no variant is read as a picture that only looks
// right. Uncompressed pixel data must be all there.
BitmapPlan PlanBitmap(const QByteArray& head, std::int64_t fileSize);

// The description for pixel data that the file does not hold.
QString MissingPixelDataText();

}  // namespace tavrel
