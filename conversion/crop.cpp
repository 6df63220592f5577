#include "conversion/crop.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

Channels SplitRGB(ColourValue colour) {
    Channels c;
    c.red = static_cast<std::int16_t>(colour & 255);
    c.blue = static_cast<std::int16_t>((colour & 0x00FF0000) / 65536);
    c.green = colour == -1
                  ? std::int16_t{255}
                  : static_cast<std::int16_t>((colour - c.red - (colour & 0x00FF0000)) / 256);
    return c;
}

void SizePictureToPixels(PictureSurface& box, double w, double h) {
    const ScaleUnit m = box.ScaleMode();
    const double tw = PictureSurface::ScaleX(w, m, ScaleUnit::Twips);
    const double th = PictureSurface::ScaleY(h, m, ScaleUnit::Twips);
    box.SetScaleMode(ScaleUnit::Twips);
    const double borderW = std::round(box.Width() - box.ScaleWidth());
    const double borderH = std::round(box.Height() - box.ScaleHeight());
    box.Move(box.Left(), box.Top(), borderW + tw, borderH + th);
    box.SetScaleMode(m);
}

namespace {

// Every channel of a background pixel has its top three bits set (>= 224).
constexpr std::uint32_t kHighBits = 0x00E0E0E0u;

inline bool PixelIsContent(std::uint32_t p) {
    return (p & kHighBits) != kHighBits;
}

bool RowHasContent(const std::uint32_t* line, int w) {
    // Branch-free over blocks so the compiler can vectorise it.
    constexpr int kBlock = 64;
    int x = 0;
    for (; x + kBlock <= w; x += kBlock) {
        std::uint32_t missing = 0;
        for (int i = 0; i < kBlock; ++i) {
            missing |= ~line[x + i];
        }
        if ((missing & kHighBits) != 0) {
            return true;
        }
    }
    std::uint32_t missing = 0;
    for (; x < w; ++x) {
        missing |= ~line[x];
    }
    return (missing & kHighBits) != 0;
}

const std::uint32_t* Line(const QImage& raster, int y) {
    return reinterpret_cast<const std::uint32_t*>(raster.constScanLine(y));
}

}  // namespace

bool FindCropBox(const QImage& raster, int w, int h, CropBox* box) {
    w = std::min(w, raster.width());
    h = std::min(h, raster.height());
    if (w <= 0 || h <= 0) {
        return false;
    }
    int top = 0;
    while (top < h && !RowHasContent(Line(raster, top), w)) {
        ++top;
    }
    if (top == h) {
        return false;
    }
    int bottom = h - 1;
    while (!RowHasContent(Line(raster, bottom), w)) {
        --bottom;
    }
    // Between them, each row only needs looking at outside the columns found
    // so far.
    int minX = w;
    int maxX = -1;
    for (int y = top; y <= bottom; ++y) {
        const std::uint32_t* line = Line(raster, y);
        for (int x = 0; x < minX; ++x) {
            if (PixelIsContent(line[x])) {
                minX = x;
                break;
            }
        }
        for (int x = w - 1; x > maxX; --x) {
            if (PixelIsContent(line[x])) {
                maxX = x;
                break;
            }
        }
    }
    // One background column and row before the content where there is room;
    // the end bounds are exclusive.
    const int x0 = std::max(0, minX - 1);
    const int y0 = std::max(0, top - 1);
    box->x = x0;
    box->y = y0;
    box->width = maxX + 1 - x0;
    box->height = bottom + 1 - y0;
    return true;
}

bool CropToContent(PictureSurface& source, PictureSurface& destination) {
    source.SetScaleMode(ScaleUnit::Pixels);
    // The scan covers x 0 to ScaleWidth and y 0 to ScaleHeight; the points on
    // the far edges lie outside the inner area and so can only count where
    // the raster reaches beyond it.
    const int scanW = static_cast<int>(source.ScaleWidth()) + 1;
    const int scanH = static_cast<int>(source.ScaleHeight()) + 1;
    CropBox crop;
    if (!FindCropBox(source.Image(), scanW, scanH, &crop)) {
        return false;
    }
    destination.SetScaleMode(ScaleUnit::Pixels);
    SizePictureToPixels(destination, crop.width, crop.height);
    destination.Cls();
    destination.PaintPicture(source.Image(), 0, 0, crop.width, crop.height, crop.x, crop.y,
                             crop.width, crop.height);
    return true;
}

}  // namespace tavrel
