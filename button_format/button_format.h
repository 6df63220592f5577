#pragma once

// The button file format, with nothing but the standard library: how a
// file's bytes become pixel rows, and how pixel rows become text. Every
// reader and writer of button files in the project (the window, the
// converter, the image plugins, the thumbnailer, the gdk-pixbuf loader)
// goes through this, so all of them read the same rows from the same bytes.
// C programs use it through tavrel_btn.h.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel::btn {

// The row number and colon that start every line; the reader drops them
// whatever they hold.
inline constexpr std::size_t kPrefixLength = 6;
// The widest row drawn: three more columns must still fit the 16-bit
// counters of the conversion to bitmap.
inline constexpr long kMaxColumns = 32764;
// The rows the window reads.
inline constexpr long kWindowRows = 1000;
// The most rows a file holds: its row numbers have five digits.
inline constexpr long kMaxFileRows = 100000;

// Grey of a pixel character: "0" 255, "1" 192, "2" 128, "3" 0; -1 for any
// other byte.
int Grey(unsigned char character);

// Character of a pixel by its red value: above 223 "0", above 160 "1",
// above 96 "2", otherwise "3".
char Level(int red);
// Level of every red value from 0 to 255, for pixel loops.
const std::array<char, 256>& Levels();

// A colour channel of a pixel with straight (not premultiplied) alpha, laid
// over white and rounded to the nearest: (c * a + 255 * (255 - a)) / 255.
int OverWhite(int channel, int alpha);

struct Limits {
    // Rows kept; a file that goes on past them is truncated.
    long maxRows = kWindowRows;
    // A first row with more pixels than this ends the read at once, with
    // one pixel more than this kept, so the caller can refuse it.
    long maxColumns = kMaxColumns;
    // A later row longer than this (line end not found) ends the read as
    // truncated: an endless row cannot hold the reader. Legal rows longer
    // than any drawing are far shorter.
    std::size_t maxRecordBytes = std::size_t{1} << 20;
    // All bytes taken, 0 for no bound: past it the read ends as truncated.
    std::size_t maxBytes = 0;
};

// Receives each row as it is read, instead of the reader keeping it.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // The pixel characters of the next row (the record without its first
    // six characters, at most maxColumns + 1 of them). False ends the read.
    virtual bool Row(std::string_view pixels) = 0;
};

// Reads a button file from its bytes, fed in pieces of any size as they
// arrive. The record rules are those of delimited sequential input: a record
// ends at CR, LF, CR LF or a comma; spaces before a record are skipped;
// every record is a row, an empty one too (a blank line, the text after a
// trailing comma); a final line end adds no row; a last line without one is
// read like the others. A UTF-8 byte-order mark at the very start is not
// part of the first row. Nothing here throws: a failed allocation ends the
// read with OutOfMemory().
class Reader {
  public:
    explicit Reader(const Limits& limits = {}, RowSink* sink = nullptr);

    // Takes the next bytes. False once the reader wants no more: the rest
    // of the input is then not looked at.
    bool Feed(const char* data, std::size_t size) noexcept;
    // The input ended.
    void Finish() noexcept;

    // Rows read, when no sink takes them.
    const std::vector<std::string>& Rows() const { return rows_; }
    long RowCount() const { return rowCount_; }
    // Pixel characters of row 1 (as kept), which fix the image's width.
    std::size_t Width() const { return width_; }
    bool FirstRowTooWide() const { return static_cast<long>(width_) > limits_.maxColumns; }
    // The input went on past what the limits take.
    bool Truncated() const { return truncated_; }
    bool OutOfMemory() const { return outOfMemory_; }
    std::size_t BytesTaken() const { return taken_; }

  private:
    void consume(const char* p, const char* end);
    bool endRecord();

    Limits limits_;
    RowSink* sink_;
    std::vector<std::string> rows_;
    std::string record_;  // kept bytes of the record being read
    std::string head_;    // the first bytes, until the byte-order mark is told
    std::size_t keep_;    // bytes of a record kept
    std::size_t recordBytes_ = 0;
    std::size_t taken_ = 0;
    std::size_t width_ = 0;
    long rowCount_ = 0;
    bool started_ = false;
    bool atRecordStart_ = true;
    bool pending_ = false;  // a record follows even if no byte does
    bool afterCR_ = false;
    bool stopped_ = false;
    bool truncated_ = false;
    bool outOfMemory_ = false;
};

// Feeds reader what read(buffer, size) gives, into the caller's buffer,
// until it gives 0 (the end of the input: the reader is told) or the reader
// wants no more. False when read gives less than 0, a failure.
template <typename Read>
bool FeedAll(Reader& reader, char* buffer, std::size_t size, Read&& read) {
    for (;;) {
        const auto n = read(buffer, size);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            reader.Finish();
            return true;
        }
        if (!reader.Feed(buffer, static_cast<std::size_t>(n))) {
            return true;
        }
    }
}
// The same, 64 KiB at a time into a buffer of its own.
template <typename Read>
bool FeedAll(Reader& reader, Read&& read) {
    std::string chunk(std::size_t{64} << 10, '\0');
    return FeedAll(reader, chunk.data(), chunk.size(), read);
}

// Greys of the first width pixels of a row into out. Returns width when
// every one is "0" to "3"; otherwise the column (from 0) of the first that
// is not, with *character the byte found, or -1 where the row is shorter.
std::size_t RowGreys(std::string_view row, std::size_t width, unsigned char* out, int* character);

// "Unknown button value : ( 12, 3)x": column and row from 1, the byte found
// (none for a row that is too short).
std::string UnknownValueText(long column, long row, int character);

// The start of a line: the row number as five zero-padded digits (more when
// it needs them) and ":". Returns its length; out holds at least 24 bytes.
std::size_t RowPrefix(long rowNumber, char* out);
// One whole line, CR LF included, appended to out.
void AppendLine(std::string& out, long rowNumber, std::string_view pixels);

// True when the first bytes of a file have a button file's shape: five
// digits, ":", then pixel characters up to the first record's end (after a
// byte-order mark and blanks, if any).
bool LooksLikeButtonFile(std::string_view head);

}  // namespace tavrel::btn
