#include "picture/bitmap_header.h"

#include <algorithm>
#include <bit>

namespace tavrel {

namespace {

// The info header's compression values.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;  // in an OS/2 2.x bitmap of 1 bit: Huffman
constexpr std::uint32_t kJpeg = 4;       // in an OS/2 2.x bitmap of 24 bits: RLE24
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

bool Contiguous(std::uint32_t mask) {
    const std::uint64_t field = mask == 0 ? 0 : mask >> std::countr_zero(mask);
    return (field & (field + 1)) == 0;
}

// The widths Qt's reader widens exactly (by 1) or leaves at 0.
bool ByteWideOrEmpty(std::uint32_t mask) {
    return mask == 0 || std::popcount(mask) == 8;
}

}  // namespace

QString MissingPixelDataText() {
    return QStringLiteral("The file holds less pixel data than its header announces");
}

BitmapPlan PlanBitmap(const QByteArray& head, std::int64_t fileSize) {
    BitmapPlan plan;
    if (!head.startsWith("BM")) {
        return plan;
    }
    const auto refuse = [&plan](const QString& why) {
        plan.route = BitmapRoute::Refused;
        plan.why = why;
        return plan;
    };
    const auto u8 = [&head](std::int64_t at) -> std::uint32_t {
        return at < head.size() ? std::uint8_t(head[qsizetype(at)]) : 0;
    };
    const auto u16 = [&](std::int64_t at) { return u8(at) | u8(at + 1) << 8; };
    const auto u32 = [&](std::int64_t at) { return u16(at) | u16(at + 2) << 16; };

    // Windows headers of 40, 52, 56, 108 and 124 bytes and OS/2 2.x ones of
    // 16 to 64 share their first fields; an OS/2 2.x header may stop after
    // any of them, the fields left out being 0. OS/2 1.x has 16-bit sizes.
    const std::uint32_t headerSize = u32(14);
    const bool os2v1 = headerSize == 12;
    if (!os2v1 && !(headerSize >= 16 && headerSize <= 64) && headerSize != 108 &&
        headerSize != 124) {
        return refuse(QStringLiteral("A header of %1 bytes is not supported").arg(headerSize));
    }
    if (head.size() < 14 + std::int64_t(headerSize)) {
        return refuse(QStringLiteral("The file ends inside the bitmap's header"));
    }
    const auto field = [&](std::int64_t at, int bytes) -> std::uint32_t {
        if (at + bytes > 14 + std::int64_t(headerSize)) {
            return 0;
        }
        return bytes == 2 ? u16(at) : u32(at);
    };
    // Signed in the newer headers, where a negative height means top-down.
    const std::int64_t width = os2v1 ? std::int64_t(u16(18)) : std::int32_t(field(18, 4));
    const std::int64_t height = os2v1 ? std::int64_t(u16(20)) : std::int32_t(field(22, 4));
    const std::uint32_t planes = os2v1 ? u16(22) : field(26, 2);
    plan.bits = int(os2v1 ? u16(24) : field(28, 2));
    plan.compression = field(30, 4);
    const std::uint32_t coloursUsed = field(46, 4);
    if (planes != 1) {
        return refuse(QStringLiteral("%1 colour planes are not supported").arg(planes));
    }
    if (width <= 0 || height == 0) {
        return refuse(
            QStringLiteral("A picture of %1 by %2 pixels is not supported").arg(width).arg(height));
    }
    plan.width = width;
    plan.rows = height < 0 ? -height : height;
    plan.topDown = height < 0;
    if (os2v1) {
        plan.paletteEntryBytes = 3;
    }

    const std::uint32_t c = plan.compression;
    const int bits = plan.bits;
    if (c == kBitFields && bits == 1) {
        return refuse(QStringLiteral("Huffman-coded bitmaps are not supported"));
    }
    if (c == kJpeg && bits == 24) {
        return refuse(QStringLiteral("Run-length encoded 24-bit bitmaps are not supported"));
    }
    // Windows itself takes these for printers only, never for a picture on
    // the screen.
    if (c == kJpeg || c == kPng) {
        return refuse(QStringLiteral("JPEG and PNG pictures inside a bitmap are not supported"));
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return refuse(QStringLiteral("%1 bits per pixel are not supported").arg(bits));
    }
    if (!(c == kRgb || (c == kRle8 && bits == 8) || (c == kRle4 && bits == 4) ||
          ((c == kBitFields || c == kAlphaBitFields) && (bits == 16 || bits == 32)))) {
        return refuse(QStringLiteral("Compression %1 with %2 bits per pixel is not supported")
                          .arg(c)
                          .arg(bits));
    }

    // Masks or the palette follow the header.
    std::int64_t paletteEnd = 14 + std::int64_t(headerSize);
    if (c == kBitFields || c == kAlphaBitFields) {
        // A header of 52 bytes or more holds the colour masks, one of 56 or
        // more the alpha mask too; after a shorter one they follow it.
        if (headerSize >= 52) {
            plan.masks = {u32(54), u32(58), u32(62), headerSize >= 56 ? u32(66) : 0};
        } else {
            const int count = c == kAlphaBitFields ? 4 : 3;
            for (int i = 0; i < count; ++i) {
                plan.masks[i] = u32(paletteEnd + 4 * i);
            }
            paletteEnd += 4 * count;
            if (head.size() < paletteEnd) {
                return refuse(QStringLiteral("The file ends inside the bitmap's header"));
            }
        }
        const auto hex = [](std::uint32_t mask) {
            return QStringLiteral("0x%1").arg(mask, 8, 16, QLatin1Char('0'));
        };
        static const char* const kChannels[] = {"red", "green", "blue", "alpha"};
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t mask = plan.masks[i];
            if (!Contiguous(mask)) {
                return refuse(
                    QStringLiteral("The bit field mask %1 is not contiguous").arg(hex(mask)));
            }
            // Only the pixel's own bits are read: a field past them would be
            // read as 0 and give a picture that only looks right.
            if (bits < 32 && mask >> bits != 0) {
                return refuse(QStringLiteral("The %1 bit field %2 does not fit %3 bits per pixel")
                                  .arg(QLatin1String(kChannels[i]), hex(mask))
                                  .arg(bits));
            }
            for (int j = 0; j < i; ++j) {
                if ((mask & plan.masks[j]) != 0) {
                    return refuse(QStringLiteral("The %1 and %2 bit fields %3 and %4 overlap")
                                      .arg(QLatin1String(kChannels[j]), QLatin1String(kChannels[i]),
                                           hex(plan.masks[j]), hex(mask)));
                }
            }
        }
    } else if (bits == 16) {
        plan.masks = {0x7C00, 0x03E0, 0x001F, 0};  // 5-5-5, the top bit unused
    } else if (bits == 32) {
        plan.masks = {0xFF0000, 0xFF00, 0xFF, 0};  // no alpha
    }

    const std::int64_t offset = u32(10);
    const std::int64_t addressable = std::int64_t(1) << std::min(bits, 32);
    bool paletteCut = false;
    if (bits <= 8) {
        const bool assumed = os2v1 || coloursUsed == 0;
        std::int64_t stored = assumed ? addressable : coloursUsed;
        plan.paletteOffset = paletteEnd;
        // A palette whose length the header leaves to the depth is often
        // shorter: where the pixels start inside it, after a whole entry,
        // it ends there. Its pixels are then checked against its length.
        const std::int64_t room = (offset - paletteEnd) / plan.paletteEntryBytes;
        if (assumed && room >= 1 && room < stored) {
            stored = room;
            paletteCut = true;
        }
        plan.paletteEntries = int(std::min(stored, addressable));
        paletteEnd += stored * plan.paletteEntryBytes;
    }
    // Otherwise pixel data cannot begin inside the headers or the palette:
    // where the offset says so, it follows them, as Qt's reader takes it too.
    plan.dataOffset = std::max(offset, paletteEnd);

    const bool plainHeader =
        headerSize == 40 || headerSize == 64 || headerSize == 108 || headerSize == 124;
    if (c == kRle8 || c == kRle4) {
        plan.route = BitmapRoute::RunLength;
        if (fileSize < plan.dataOffset) {
            return refuse(MissingPixelDataText());
        }
        return plan;
    }
    // Qt's reader widens every bit field by a power of two (5 bits at 31
    // become 248, 10 bits become 0) and takes the alpha mask of a newer
    // header for 32 bits without compression.
    bool bitFields = bits == 16 || c == kAlphaBitFields;
    if (bits == 32 && c == kRgb) {
        bitFields = !plainHeader || (headerSize >= 108 && u32(66) != 0);
    } else if (bits == 32 && c == kBitFields) {
        bitFields = !(headerSize == 40 || headerSize >= 108) ||
                    !std::all_of(plan.masks.begin(), plan.masks.end(), ByteWideOrEmpty);
    }
    // A palette cut by the offset needs a header that says its length: Qt's
    // reader would read as many entries as the depth addresses.
    if (bitFields) {
        plan.route = BitmapRoute::BitFields;
    } else if (plainHeader && !paletteCut && (bits > 8 || coloursUsed <= addressable)) {
        plan.route = BitmapRoute::Qt;
    } else {
        plan.route = BitmapRoute::QtPlainHeader;
    }

    // Every row must be there; the last one's padding may be missing. Divided
    // rather than multiplied: a header may announce 2^31 rows of 2^33 bytes.
    const std::int64_t rowBytes = RowBytes(plan);
    const std::int64_t lastRow = RowPixelBytes(plan);
    const std::int64_t available = fileSize - plan.dataOffset;
    if (available < lastRow || (available - lastRow) / rowBytes < plan.rows - 1) {
        return refuse(MissingPixelDataText());
    }
    // Qt's reader leaves a row it cannot read whole unset: a file without
    // the last row's padding goes behind a rewritten header that has it.
    if (plan.route == BitmapRoute::Qt && available / rowBytes < plan.rows) {
        plan.route = BitmapRoute::QtPlainHeader;
    }
    return plan;
}

}  // namespace tavrel
