#pragma once

#include <QByteArray>
#include <QString>

#include "conversion/message_boxes.h"
#include "files/files.h"
#include "picture/picture_surface.h"

namespace tavrel {

// The button file text of a cropped surface's raster less its margin column
// 0 and row 0, rows numbered from 0.
QByteArray FormatButtonFile(const PictureSurface& cropped);

// Converts the bitmap at bitmapPath into a button file at buttonPath, going
// through the scratch surfaces picWorking and picOut. The bitmap is placed
// one pixel right of and below the working surface's corner, so that content
// at its edges keeps a margin and none of it is lost. Returns true when the
// button file has been written; false when the user cancelled the load or the
// save, or when the bitmap has no content (nothing is written then).
// With bitmapData, the picture is those bytes (read from a pipe, say) and
// bitmapPath only names it in messages.
bool ConvertBitmapToButton(const QString& bitmapPath, const QString& buttonPath,
                           PictureSurface& picWorking, PictureSurface& picOut, MessageBoxes& boxes,
                           const SaveOptions& options = {}, const QByteArray* bitmapData = nullptr);

}  // namespace tavrel
