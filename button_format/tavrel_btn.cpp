// The C interface: thin calls into the C++ reader and tables.
#include "button_format/tavrel_btn.h"

#include <cstring>
#include <new>

#include "button_format/button_format.h"

struct tavrel_btn_reader {
    tavrel::btn::Reader reader;
};

namespace btn = tavrel::btn;

tavrel_btn_reader* tavrel_btn_reader_new(long max_rows, long max_columns, size_t max_bytes) {
    btn::Limits limits;
    limits.maxRows = max_rows;
    limits.maxColumns = max_columns;
    limits.maxBytes = max_bytes;
    return new (std::nothrow) tavrel_btn_reader{btn::Reader(limits)};
}

void tavrel_btn_reader_free(tavrel_btn_reader* reader) {
    delete reader;
}

int tavrel_btn_reader_feed(tavrel_btn_reader* reader, const void* data, size_t size) {
    return reader->reader.Feed(static_cast<const char*>(data), size) ? 1 : 0;
}

void tavrel_btn_reader_finish(tavrel_btn_reader* reader) {
    reader->reader.Finish();
}

long tavrel_btn_reader_rows(const tavrel_btn_reader* reader) {
    return reader->reader.RowCount();
}

long tavrel_btn_reader_width(const tavrel_btn_reader* reader) {
    return static_cast<long>(reader->reader.Width());
}

const char* tavrel_btn_reader_row(const tavrel_btn_reader* reader, long index, size_t* length) {
    const std::string& row = reader->reader.Rows()[static_cast<size_t>(index)];
    *length = row.size();
    return row.data();
}

int tavrel_btn_reader_truncated(const tavrel_btn_reader* reader) {
    return reader->reader.Truncated() ? 1 : 0;
}

int tavrel_btn_reader_out_of_memory(const tavrel_btn_reader* reader) {
    return reader->reader.OutOfMemory() ? 1 : 0;
}

int tavrel_btn_reader_too_wide(const tavrel_btn_reader* reader) {
    return reader->reader.FirstRowTooWide() ? 1 : 0;
}

size_t tavrel_btn_row_greys(const char* row, size_t length, size_t width, unsigned char* out,
                            int* character) {
    return btn::RowGreys(std::string_view(row, length), width, out, character);
}

void tavrel_btn_unknown_value_text(char* out, size_t size, long column, long row, int character) {
    if (size == 0) {
        return;
    }
    try {
        const std::string text = btn::UnknownValueText(column, row, character);
        const size_t n = std::min(text.size(), size - 1);
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    } catch (const std::bad_alloc&) {
        out[0] = '\0';
    }
}

char tavrel_btn_level(int red) {
    return btn::Level(red);
}

int tavrel_btn_over_white(int channel, int alpha) {
    return btn::OverWhite(channel, alpha);
}

size_t tavrel_btn_row_prefix(long row_number, char* out) {
    return btn::RowPrefix(row_number, out);
}

int tavrel_btn_looks_like(const void* head, size_t size) {
    return btn::LooksLikeButtonFile(std::string_view(static_cast<const char*>(head), size)) ? 1 : 0;
}
