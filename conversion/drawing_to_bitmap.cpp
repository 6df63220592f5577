#include "conversion/drawing_to_bitmap.h"

#include "conversion/crop.h"
#include "conversion/messages.h"

namespace tavrel {

BitmapResult ConvertDrawingToBitmap(const PictureSurface& picButtons, ButtonSize size,
                                    PictureSurface& picWorking, PictureSurface& picOut,
                                    const QString& outputPath, MessageBoxes& boxes,
                                    const SaveOptions& options) {
    picWorking.SetScaleMode(ScaleUnit::Pixels);
    // Start blank: a bitmap that an earlier conversion left in the box must
    // not show through.
    picWorking.ClearPicture();
    picWorking.Cls();
    // Both sums stay within 16 bits: at most 1000 rows and 32764 columns are
    // ever drawn.
    const int height = size.rows + 3;
    const int width = size.cols + 3;
    // Surfaces without memory fail as the save does, and Retry tries again.
    bool empty = false;
    const bool saved =
        RetryUntilDone(boxes, kSaveAction, outputPath, kSaveTitle, [&](QString* error) {
            SizePictureToPixels(picWorking, width, height);
            if (!picWorking.HoldsPixels(width, height)) {
                *error = NotEnoughMemoryText();
                return false;
            }
            picWorking.PaintPicture(picButtons.Image(), 0, 0);
            if (!CropToContent(picWorking, picOut)) {
                empty = true;
                return true;
            }
            if (!HoldsItsArea(picOut)) {
                *error = NotEnoughMemoryText();
                return false;
            }
            return SavePicture(picOut.Image(), outputPath, options, error);
        });
    if (empty) {
        boxes.OkOnly(kNothingToConvert, kApplicationTitle);
        return BitmapResult::NothingToConvert;
    }
    return saved ? BitmapResult::Written : BitmapResult::Cancelled;
}

}  // namespace tavrel
