#include "conversion/button_render.h"

#include <array>

#include "button_format/button_format.h"
#include "conversion/button_file.h"
#include "conversion/messages.h"

namespace tavrel {

namespace {

constexpr std::uint32_t kUnknown = 0;  // no opaque pixel is 0: alpha is always set

const std::array<std::uint32_t, 256>& PixelTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        t.fill(kUnknown);
        for (int c = 0; c < 256; ++c) {
            const int grey = btn::Grey(static_cast<unsigned char>(c));
            if (grey >= 0) {
                t[c] = RgbFromColour(grey * 0x010101);
            }
        }
        return t;
    }();
    return table;
}

// Draws the n rows read from the file at path.
DrawResult DrawRows(const QString& path, const ButtonFileRows& rows, int n, const ReadNotes& notes,
                    PictureSurface& box, MessageBoxes& boxes, ButtonSize& size) {
    box.ReserveRaster(0, 0);
    box.Cls();
    if (n == 0) {
        return DrawResult::NothingRead;
    }
    if (rows[0].size() > kMaxButtonColumns) {
        boxes.OkOnly(DrawFailedText(path, TooWideDescription()), kApplicationTitle);
        return DrawResult::TooWide;
    }
    const int cols = static_cast<int>(rows[0].size());
    size.rows = static_cast<std::int16_t>(n);
    size.cols = static_cast<std::int16_t>(cols);

    // Keep the whole drawing, also what lies beyond the visible box.
    box.ReserveRaster(cols + 1, n + 1);
    if (!box.HoldsPixels(cols + 1, n + 1)) {
        box.ReserveRaster(0, 0);
        boxes.OkOnly(DrawFailedText(path, QStringLiteral("not enough memory")), kApplicationTitle);
        return DrawResult::OutOfMemory;
    }
    QImage& raster = box.MutableRaster();
    const auto& table = PixelTable();
    for (int r = 1; r <= n; ++r) {
        const QByteArray& row = rows[r - 1];
        auto* line = reinterpret_cast<std::uint32_t*>(raster.scanLine(r));
        const qsizetype have = std::min<qsizetype>(row.size(), cols);
        const auto* chars = reinterpret_cast<const unsigned char*>(row.constData());
        for (int c = 1; c <= cols; ++c) {
            const std::uint32_t rgb = c <= have ? table[chars[c - 1]] : kUnknown;
            if (rgb == kUnknown) {
                const QString found =
                    c <= have ? QString(QChar::fromLatin1(static_cast<char>(chars[c - 1])))
                              : QString();
                boxes.OkOnly(UnknownValueText(c, r, found), kApplicationTitle);
                // No half-drawn image stays behind.
                box.Cls();
                return DrawResult::UnknownValue;
            }
            line[c] = rgb;
        }
    }
    if (notes.truncated) {
        boxes.OkOnly(TruncatedText(path, n), kApplicationTitle);
    }
    return DrawResult::Drawn;
}

}  // namespace

DrawResult DrawButtonFile(const QString& path, PictureSurface& box, MessageBoxes& boxes,
                          ButtonSize& size) {
    box.SetScaleMode(ScaleUnit::Pixels);
    ButtonFileRows rows;
    ReadNotes notes;
    const int n = ReadButtonFile(path, rows, boxes, &notes);
    return DrawRows(path, rows, n, notes, box, boxes, size);
}

DrawResult DrawButtonFile(const QString& path, QIODevice& input, PictureSurface& box,
                          MessageBoxes& boxes, ButtonSize& size) {
    box.SetScaleMode(ScaleUnit::Pixels);
    ButtonFileRows rows;
    ReadNotes notes;
    QString error;
    int n = ReadButtonFile(input, rows, &error, &notes);
    if (!error.isEmpty()) {
        // What was read is gone: there is nothing to try again.
        boxes.OkOnly(FailureText(kOpenAction, path, error), kOpenTitle);
        n = 0;
    }
    return DrawRows(path, rows, n, notes, box, boxes, size);
}

}  // namespace tavrel
