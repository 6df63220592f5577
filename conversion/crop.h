#pragma once

#include <cstdint>

#include "picture/picture_surface.h"

namespace tavrel {

struct Channels {
    std::int16_t red = 0;
    std::int16_t green = 0;
    std::int16_t blue = 0;
};

// Splits a colour value 0x00BBGGRR (or -1, which is white) into its channels.
Channels SplitRGB(ColourValue colour);

// The larger of a and b (b when they are equal).
inline double MaxOf(double a, double b) {
    return a > b ? a : b;
}

// A pixel is content when its red, green or blue value is below 224.
inline bool IsContent(Channels c) {
    return c.red < 224 || c.green < 224 || c.blue < 224;
}

// Makes the box's inner area w by h in its current unit, measuring its border
// rather than assuming it. The box keeps its position.
void SizePictureToPixels(PictureSurface& box, double w, double h);

// Finds the bounding box of the source's content and copies it, with one
// background column to its left and one background row above it where the
// source has them, into destination, sized to fit. Returns false, leaving
// destination untouched, when the source has no content. Leaves the source's
// scale in pixels.
bool CropToContent(PictureSurface& source, PictureSurface& destination);

// False when the box's raster could not get the memory for its inner area.
inline bool HoldsItsArea(const PictureSurface& box) {
    return box.HoldsPixels(box.InnerWidthPixels(), box.InnerHeightPixels());
}

// The bounds that CropToContent copies: x, y, width, height in pixels.
struct CropBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// Scans the first w by h pixels of a 32-bit RGB raster. False without content.
bool FindCropBox(const QImage& raster, int w, int h, CropBox* box);

}  // namespace tavrel
