#pragma once

// A grey picture as a PNG file's bytes in memory, encoded with libpng a row
// at a time.

#include <cstddef>

namespace tavrel::thumbnail {

// The rows of a grey picture, asked for top to bottom.
class GreyRows {
  public:
    virtual ~GreyRows() = default;
    // The greys of row y, one byte a pixel.
    virtual void Line(long y, unsigned char* out) noexcept = 0;
};

// The bytes encoded, freed with it.
struct PngBytes {
    PngBytes() = default;
    PngBytes(const PngBytes&) = delete;
    PngBytes& operator=(const PngBytes&) = delete;
    ~PngBytes();

    unsigned char* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
    bool noMemory = false;  // what made an encoding fail
    char error[128] = "";   // libpng's word for any other failure
};

// An 8-bit greyscale PNG of width by height pixels, line holding room for
// one row; false with out->noMemory or out->error set on failure.
bool EncodeGreyPng(long width, long height, GreyRows& rows, unsigned char* line, PngBytes* out);

}  // namespace tavrel::thumbnail
