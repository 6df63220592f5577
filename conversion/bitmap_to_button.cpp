#include "conversion/bitmap_to_button.h"

#include <new>

#include "button_format/button_format.h"
#include "conversion/button_file.h"
#include "conversion/crop.h"
#include "conversion/messages.h"
#include "files/sequential_file.h"

namespace tavrel {

QByteArray FormatButtonFile(const PictureSurface& cropped) {
    const std::array<char, 256>& levels = btn::Levels();
    const QImage& raster = cropped.Image();
    const int w = std::min(cropped.InnerWidthPixels(), raster.width());
    const int h = std::min(cropped.InnerHeightPixels(), raster.height());
    SequentialOutput out;
    if (w < 1 || h < 2) {
        return out.Data();
    }
    out.Reserve(static_cast<qsizetype>(h - 1) * (w - 1 + 8));
    QByteArray row(w - 1, '0');
    char* chars = row.data();
    for (int y = 1; y < h; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(raster.constScanLine(y));
        for (int x = 1; x < w; ++x) {
            chars[x - 1] = levels[(line[x] >> 16) & 0xFF];  // the red channel
        }
        WriteButtonLine(out, y - 1, chars, w - 1);
    }
    return out.Data();
}

bool ConvertBitmapToButton(const QString& bitmapPath, const QString& buttonPath,
                           PictureSurface& picWorking, PictureSurface& picOut, MessageBoxes& boxes,
                           const SaveOptions& options, const QByteArray* bitmapData) {
    // The working box, blank and one pixel larger than the bitmap each way:
    // the bitmap goes at (1, 1), so content at its edges is still found.
    const auto prepareWorking = [&](QSize bitmap) {
        // Not as the box's Picture: Cls must not bring the bitmap back at
        // the corner in a later conversion.
        picWorking.ClearPicture();
        picWorking.SetScaleMode(ScaleUnit::Pixels);
        SizePictureToPixels(picWorking, bitmap.width() + 1.0, bitmap.height() + 1.0);
        if (!picWorking.HoldsPixels(bitmap.width() + 1, bitmap.height() + 1)) {
            return false;
        }
        picWorking.Cls();
        return true;
    };
    const bool loaded =
        RetryUntilDone(boxes, kLoadAction, bitmapPath, kLoadTitle, [&](QString* error) {
            // A bitmap whose pixels are of the box's own kind is decoded
            // straight into the box at (1, 1): a large one is then neither
            // held twice nor copied.
            const uchar* inPlace = nullptr;
            const PictureTarget inTheBox = [&](QSize size, QImage::Format format) {
                if (format != QImage::Format_RGB32 || !prepareWorking(size)) {
                    return QImage();
                }
                QImage view = picWorking.RasterView(1, 1, size);
                inPlace = view.constBits();
                return view;
            };
            const QImage bitmap = bitmapData != nullptr
                                      ? LoadPicture(*bitmapData, bitmapPath, error, inTheBox)
                                      : LoadPicture(bitmapPath, error, inTheBox);
            if (bitmap.isNull()) {
                return false;
            }
            if (bitmap.constBits() == inPlace) {
                return true;
            }
            if (!prepareWorking(bitmap.size())) {
                *error = NotEnoughMemoryText();
                return false;
            }
            picWorking.PaintPicture(bitmap, 1, 1);
            return true;
        });
    if (!loaded) {
        return false;
    }
    if (!CropToContent(picWorking, picOut)) {
        boxes.OkOnly(kNothingToConvert, kApplicationTitle);
        return false;
    }
    picOut.SetScaleMode(ScaleUnit::Pixels);
    // A file that the program's own reader would refuse is not written.
    const QString tooLarge =
        ButtonFileSizeProblem(picOut.InnerWidthPixels() - 1, picOut.InnerHeightPixels() - 1);
    if (!tooLarge.isEmpty()) {
        boxes.OkOnly(FailureText(kSaveAction, buttonPath, tooLarge), kSaveTitle);
        return false;
    }
    // A crop or text without memory fails as the save does, and Retry tries
    // again, so nothing is written from an empty crop.
    return RetryUntilDone(boxes, kSaveAction, buttonPath, kSaveTitle, [&](QString* error) {
        if (!HoldsItsArea(picOut)) {
            CropToContent(picWorking, picOut);
        }
        bool memory = HoldsItsArea(picOut);
        QByteArray text;
        try {
            text = memory ? FormatButtonFile(picOut) : QByteArray();
        } catch (const std::bad_alloc&) {
            memory = false;
        }
        if (!memory) {
            *error = NotEnoughMemoryText();
            return false;
        }
        return SaveFileAtomically(buttonPath, text, options, error);
    });
}

}  // namespace tavrel
