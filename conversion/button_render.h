#pragma once

#include <QIODevice>
#include <QString>

#include <cstdint>

#include "conversion/message_boxes.h"
#include "picture/picture_surface.h"

namespace tavrel {

// Row and column count of the button file drawn last. The window keeps these
// as ButtonRows and ButtonCols; DrawButtonFile records into them.
struct ButtonSize {
    std::int16_t rows = 0;
    std::int16_t cols = 0;
};

enum class DrawResult {
    Drawn,         // the whole file is drawn
    NothingRead,   // open cancelled or empty file: box cleared, size unchanged
    UnknownValue,  // a character other than "0" to "3": reported, box cleared
    TooWide,       // row 1 wider than 32764 pixels: reported, box cleared, size unchanged
    OutOfMemory,   // the drawing could not be held: reported, box cleared
};

// Reads the button file at path and draws it into box, the character in
// column c of row r (both from 1) at pixel (c, r). Row 0 and column 0 stay
// white. The box's raster is made large enough for the whole drawing even
// where the box itself is smaller. Records the counts in size once a row has
// been read (also when drawing then fails on an unknown character).
DrawResult DrawButtonFile(const QString& path, PictureSurface& box, MessageBoxes& boxes,
                          ButtonSize& size);
// The same for a button file read from input, an open device (a pipe, say),
// which path names in messages. A failed read is reported, OK only.
DrawResult DrawButtonFile(const QString& path, QIODevice& input, PictureSurface& box,
                          MessageBoxes& boxes, ButtonSize& size);

}  // namespace tavrel
