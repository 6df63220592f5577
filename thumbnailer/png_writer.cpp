#include "thumbnailer/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tavrel::thumbnail {

PngBytes::~PngBytes() {
    std::free(data);
}

namespace {

// libpng reports through these, and allocates through the last two, so that
// neither its messages nor a failed allocation get past it: its error
// handler leaves by longjmp to EncodeGreyPng, where nothing needs unwinding.
void OnError(png_structp png, png_const_charp message) {
    auto* out = static_cast<PngBytes*>(png_get_error_ptr(png));
    std::strncpy(out->error, message, sizeof out->error - 1);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

png_voidp Allocate(png_structp png, png_alloc_size_t size) {
    void* p = std::malloc(size);
    if (p == nullptr) {
        static_cast<PngBytes*>(png_get_mem_ptr(png))->noMemory = true;
    }
    return p;
}

void Free(png_structp, png_voidp p) {
    std::free(p);
}

void Append(png_structp png, png_bytep bytes, std::size_t count) {
    auto* out = static_cast<PngBytes*>(png_get_io_ptr(png));
    if (count > out->capacity - out->size) {
        const std::size_t wanted = out->size + count;
        const std::size_t capacity = std::max<std::size_t>(wanted, 2 * out->capacity + 4096);
        // Told before the block moves: a realloc that succeeds frees the old one.
        void* grown = wanted < count ? nullptr : std::realloc(out->data, capacity);
        if (grown == nullptr) {
            out->noMemory = true;
            png_error(png, "not enough memory");
        }
        out->data = static_cast<unsigned char*>(grown);
        out->capacity = capacity;
    }
    std::memcpy(out->data + out->size, bytes, count);
    out->size += count;
}

void Flush(png_structp) {}

}  // namespace

bool EncodeGreyPng(long width, long height, GreyRows& rows, unsigned char* line, PngBytes* out) {
    png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, out, OnError, OnWarning, out,
                                                Allocate, Free);
    if (png == nullptr) {
        out->noMemory = true;
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        out->noMemory = true;
        return false;
    }
    // png and info are not changed past this point, so they hold after a
    // longjmp.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    // Runs only: a button's few greys, grown by whole pixels, make runs and
    // repeated rows. The default search for longer matches took up to five
    // times as long, and gave larger files of them.
    png_set_compression_strategy(png, Z_RLE);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (long y = 0; y < height; ++y) {
        rows.Line(y, line);
        png_write_row(png, line);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace tavrel::thumbnail
