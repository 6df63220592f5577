#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel::fuzz {

// Reads and draws bytes as a button file, then converts the drawing to a
// bitmap, as the preview and the left arrow do.
void ButtonFile(const std::uint8_t* data, std::size_t size);

// Loads bytes as a picture and converts it to a button file, as the right
// arrow does.
void Picture(const std::uint8_t* data, std::size_t size);

// Feeds bytes to the gdk-pixbuf loader in chunks of 1 to 256 bytes, each
// chunk's first byte deciding its size.
void PixbufLoader(const std::uint8_t* data, std::size_t size);

// Parses bytes, split at NUL bytes, as the converter's command line.
void CliArguments(const std::uint8_t* data, std::size_t size);

}  // namespace tavrel::fuzz
