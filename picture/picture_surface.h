#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>

#include "files/files.h"
#include "picture/twips.h"

namespace tavrel {

// Colour value as the surface reports it: 0x00BBGGRR, red in the low byte;
// -1 for a point outside the raster.
using ColourValue = std::int32_t;

inline constexpr ColourValue kWhite = 0x00FFFFFF;

enum class ScaleUnit { Twips = 1, Pixels = 3 };

// The persistent pixel raster of a picture box: what is drawn, painted or
// loaded stays and can be read back. The box's outer geometry is in twips and
// includes a border; the raster covers the inner area, (0, 0) at its top-left.
//
// The raster may be made larger than the inner area (ReserveRaster): a button
// drawing then keeps its pixels beyond the visible edge, so that the whole
// drawing can be converted.
class PictureSurface {
  public:
    // borderPixels: width of the border on each side. autoSize: the box takes
    // the size of a picture assigned to it.
    explicit PictureSurface(int borderPixels = 0, bool autoSize = false);

    // Outer geometry, in twips, border included. Whole pixels are kept, so a
    // value reads back rounded to the nearest pixel.
    double Left() const { return leftPx_ * double(kTwipsPerPixel); }
    double Top() const { return topPx_ * double(kTwipsPerPixel); }
    double Width() const { return widthPx_ * double(kTwipsPerPixel); }
    double Height() const { return heightPx_ * double(kTwipsPerPixel); }
    void Move(double left, double top, double width, double height);

    ScaleUnit ScaleMode() const { return scaleMode_; }
    void SetScaleMode(ScaleUnit mode) { scaleMode_ = mode; }
    // Inner size in the current unit.
    double ScaleWidth() const;
    double ScaleHeight() const;
    // Converts a length between units.
    static double ScaleX(double value, ScaleUnit from, ScaleUnit to);
    static double ScaleY(double value, ScaleUnit from, ScaleUnit to) {
        return ScaleX(value, from, to);
    }

    int InnerWidthPixels() const { return innerW(); }
    int InnerHeightPixels() const { return innerH(); }
    int BorderPixels() const { return border_; }

    // Pixels back to the background, with the loaded picture shown again.
    void Cls();
    // Sets pixel (x, y); nothing happens outside the raster. Coordinates in
    // the current unit.
    void PSet(double x, double y, ColourValue colour);
    // Colour of pixel (x, y); -1 outside the raster.
    ColourValue Point(double x, double y) const;
    // The raster as it stands (32-bit RGB).
    const QImage& Image() const { return raster_; }

    // Copies the sw by sh region at (sx, sy) of pic to dw by dh at (dx, dy);
    // equal sizes copy pixel for pixel. Clipped at both edges.
    void PaintPicture(const QImage& pic, double dx, double dy, double dw, double dh, double sx,
                      double sy, double sw, double sh);
    // The whole picture at its own size at (dx, dy).
    void PaintPicture(const QImage& pic, double dx, double dy);

    // Shows picture at the top-left; an auto-sizing box takes its size.
    void SetPicture(const QImage& picture);
    // Removes the loaded picture; the raster is cleared to the background.
    void ClearPicture();
    const QImage& Picture() const { return picture_; }

    // Grows the raster to at least w by h pixels beyond the inner area (never
    // shrinks it). Cls and resizing keep the reservation until the next
    // ReserveRaster call; ReserveRaster(0, 0) drops it.
    void ReserveRaster(int w, int h);

    // False when the raster could not be allocated at the box's size.
    bool HoldsPixels(int w, int h) const { return raster_.width() >= w && raster_.height() >= h; }

    // Direct raster access for the converters' scan-line loops.
    QImage& MutableRaster() { return raster_; }
    // The size by size part of the raster at pixel (x, y), as an image whose
    // pixels are the raster's own: what is written into it lands in the
    // raster. Null when it does not fit. Valid until the raster changes.
    QImage RasterView(int x, int y, QSize size);

  private:
    int innerW() const;
    int innerH() const;
    int toPixels(double v) const;
    void rebuildRaster(bool keepPixels);
    void fillBackdrop(QImage& image) const;

    int border_;
    bool autoSize_;
    int leftPx_ = 0;
    int topPx_ = 0;
    int widthPx_;
    int heightPx_;
    int reservedW_ = 0;
    int reservedH_ = 0;
    ScaleUnit scaleMode_ = ScaleUnit::Twips;
    QImage picture_;
    QImage raster_;
};

// Colour value of a 32-bit RGB pixel (0xAARRGGBB) and back.
inline ColourValue ColourFromRgb(std::uint32_t argb) {
    return static_cast<ColourValue>(((argb >> 16) & 0xFF) | (argb & 0xFF00) |
                                    ((argb & 0xFF) << 16));
}
inline std::uint32_t RgbFromColour(ColourValue colour) {
    const auto c = static_cast<std::uint32_t>(colour);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Where LoadPicture decodes: given the picture's size and pixel format from
// its header, an image of exactly that size and format to be filled in place
// (a RasterView, say). Anything else, and the picture gets an image of its
// own.
using PictureTarget = std::function<QImage(QSize size, QImage::Format format)>;

// Pictures up to this size are read whole before they are decoded; larger
// ones are streamed from the file.
inline constexpr qint64 kPictureReadWholeLimit = qint64(4) << 20;
// The most memory, in MB, a picture reader may allocate for one picture.
inline constexpr int kPictureMemoryLimitMB = 1024;

// Reads a picture file: bitmaps of the kinds the README lists, and the other
// formats Qt reads. Transparent pictures are put on white. Only regular files
// are opened; a picture larger than the reader's limit fails without being
// allocated. On failure returns a null image and a description of what went
// wrong or is not supported.
QImage LoadPicture(const QString& path, QString* error, const PictureTarget& target = {});
// The same for a picture already read into memory (from a pipe, say); name
// gives the format a guess, as a path's extension does.
QImage LoadPicture(const QByteArray& data, const QString& name, QString* error,
                   const PictureTarget& target = {});

// As image.convertToFormat(format), a strip of rows at a time when large:
// Qt shares a large conversion out to its own threads, and waits for ever
// for one it cannot start (where the user may start no more processes).
// Null when there is no memory for it.
QImage ConvertedFormat(const QImage& image, QImage::Format format);

// The description for a picture or surface that cannot get its memory.
QString NotEnoughMemoryText();

// Encodes image as a 24-bit Windows bitmap at 96 dots per inch (3780 dots
// per metre), whatever the screen, so every caller writes the same bytes.
QByteArray EncodeBitmap(const QImage& image);

// Writes image as a bitmap file, atomically (see SaveFileAtomically).
bool SavePicture(const QImage& image, const QString& path, const SaveOptions& options,
                 QString* error);

}  // namespace tavrel
