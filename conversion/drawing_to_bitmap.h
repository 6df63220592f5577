#pragma once

#include <QString>

#include "conversion/button_render.h"
#include "conversion/message_boxes.h"
#include "files/files.h"
#include "picture/picture_surface.h"

namespace tavrel {

enum class BitmapResult {
    Written,           // the bitmap is saved
    Cancelled,         // the save failed and the user chose Cancel
    NothingToConvert,  // the drawing has no content: reported, nothing written
};

// The conversion to bitmap of a drawn button: copies the drawing in
// picButtons (size.cols by size.rows pixels from (1, 1)) onto a blank
// picWorking, crops it into picOut and saves picOut's image as a bitmap at
// outputPath, asking Retry or Cancel when the save fails.
BitmapResult ConvertDrawingToBitmap(const PictureSurface& picButtons, ButtonSize size,
                                    PictureSurface& picWorking, PictureSurface& picOut,
                                    const QString& outputPath, MessageBoxes& boxes,
                                    const SaveOptions& options = {});

}  // namespace tavrel
