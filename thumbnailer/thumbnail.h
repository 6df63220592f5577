#pragma once

// The thumbnail of a button file, made from its rows as they are read:
// small buttons grow by whole pixels, so they stay crisp; large ones shrink
// to fit, each thumbnail pixel the mean grey of the area it covers. Only a
// narrow copy of the rows is kept, never the whole drawing.

#include <cstdint>
#include <string_view>
#include <vector>

#include "button_format/button_format.h"
#include "thumbnailer/png_writer.h"

namespace tavrel::thumbnail {

struct Size {
    long width;
    long height;
};

// The thumbnail of a picture at most size by size: a picture that fits
// grows by the largest whole factor that still fits; a larger one keeps its
// proportions, the shorter side rounded down, at least 1.
Size ThumbnailSize(long width, long height, long size);

class Thumbnail : public btn::RowSink, public GreyRows {
  public:
    enum class Stop { None, NoPixels, TooWide, UnknownValue, NoMemory };

    explicit Thumbnail(long size) : size_(size) {}

    // Takes the next row of the file; false ends the read, with stop() set.
    // Never throws.
    bool Row(std::string_view pixels) override;

    Stop stop() const { return stop_; }
    // Where the first pixel that is not "0" to "3" lies, from 1, and the
    // byte found there (-1 for a row that is too short).
    long badColumn() const { return badColumn_; }
    long badRow() const { return rows_; }
    int badCharacter() const { return badCharacter_; }

    // After the last row: the thumbnail's size, and false when its rows
    // cannot get their memory.
    Size OutputSize() const { return ThumbnailSize(static_cast<long>(width_), rows_, size_); }
    bool Prepare() noexcept;
    void Line(long y, unsigned char* out) noexcept override;

  private:
    long size_;
    Stop stop_ = Stop::None;
    std::size_t width_ = 0;    // pixels of the first row
    std::size_t columns_ = 0;  // of each row kept
    long rows_ = 0;
    long badColumn_ = 0;
    int badCharacter_ = -1;
    std::vector<unsigned char> greys_;  // the row being read
    // Each row's columns, in 1/256 of a grey: every pixel where the
    // drawing is narrow enough, the mean of each thumbnail column's share
    // otherwise.
    std::vector<std::uint16_t> kept_;
    std::vector<std::uint64_t> sums_;  // one output row, summed down
    Size out_{0, 0};
};

}  // namespace tavrel::thumbnail
