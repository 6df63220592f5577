#include "button_format/button_format.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tavrel::btn {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr std::array<short, 256> kGreys = [] {
    std::array<short, 256> t{};
    t.fill(-1);
    t['0'] = 255;
    t['1'] = 192;
    t['2'] = 128;
    t['3'] = 0;
    return t;
}();

constexpr std::array<char, 256> kLevels = [] {
    std::array<char, 256> t{};
    for (int red = 0; red < 256; ++red) {
        t[red] = red > 223 ? '0' : red > 160 ? '1' : red > 96 ? '2' : '3';
    }
    return t;
}();

constexpr bool IsDelimiter(char c) {
    return c == '\r' || c == '\n' || c == ',';
}

const char* FindDelimiter(const char* p, const char* end) {
    while (p != end && !IsDelimiter(*p)) {
        ++p;
    }
    return p;
}

// The rest of a row longer than any drawing is only looked through: memchr
// does that many times faster than a loop over the bytes. Each search stops
// where the one before found a delimiter, so none looks past the row's end.
const char* SkipToDelimiter(const char* p, const char* end) {
    for (const char delimiter : {'\n', '\r', ','}) {
        if (const void* found = std::memchr(p, delimiter, static_cast<std::size_t>(end - p))) {
            end = static_cast<const char*>(found);
        }
    }
    return end;
}

}  // namespace

int Grey(unsigned char character) {
    return kGreys[character];
}

char Level(int red) {
    return kLevels[static_cast<unsigned char>(std::clamp(red, 0, 255))];
}

const std::array<char, 256>& Levels() {
    return kLevels;
}

int OverWhite(int channel, int alpha) {
    // Integer rounding of (c * a + 255 * (255 - a)) / 255 to the nearest.
    return (channel * alpha + 255 * (255 - alpha) + 127) / 255;
}

Reader::Reader(const Limits& limits, RowSink* sink)
    : limits_(limits),
      sink_(sink),
      keep_(kPrefixLength + static_cast<std::size_t>(std::max(0L, limits.maxColumns)) + 1) {}

bool Reader::Feed(const char* data, std::size_t size) noexcept {
    if (stopped_) {
        return false;
    }
    try {
        const char* p = data;
        const char* end = data + size;
        if (!started_) {
            // The byte-order mark is told once three bytes are there.
            const std::size_t take = std::min(kByteOrderMark.size() - head_.size(), size);
            head_.append(p, take);
            p += take;
            if (head_.size() < kByteOrderMark.size()) {
                return true;
            }
            started_ = true;
            taken_ += head_.size();
            if (head_ != kByteOrderMark) {
                consume(head_.data(), head_.data() + head_.size());
            }
            head_.clear();
        }
        taken_ += static_cast<std::size_t>(end - p);
        consume(p, end);
    } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
        stopped_ = true;
    }
    return !stopped_;
}

void Reader::Finish() noexcept {
    try {
        if (!started_) {
            // Fewer than three bytes in all: no byte-order mark.
            started_ = true;
            taken_ += head_.size();
            consume(head_.data(), head_.data() + head_.size());
        }
        if (stopped_) {
            return;
        }
        if (rowCount_ == limits_.maxRows) {
            // A comma after the last row kept starts a row past the limit.
            truncated_ = truncated_ || pending_;
        } else if (pending_) {
            endRecord();  // a last record without a line end
        }
    } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
    }
    stopped_ = true;
}

// Ends the record read so far as a row; false once the read ends.
bool Reader::endRecord() {
    const std::string_view pixels =
        record_.size() > kPrefixLength ? std::string_view(record_).substr(kPrefixLength) : "";
    if (rowCount_ == 0) {
        width_ = pixels.size();
    }
    ++rowCount_;
    if (sink_ != nullptr) {
        stopped_ = !sink_->Row(pixels);
    } else {
        rows_.emplace_back(pixels);
    }
    record_.clear();
    recordBytes_ = 0;
    atRecordStart_ = true;
    return !stopped_;
}

void Reader::consume(const char* p, const char* end) {
    if (limits_.maxBytes != 0 && taken_ > limits_.maxBytes) {
        // Only what lies within the bound is read.
        const std::size_t over = taken_ - limits_.maxBytes;
        const auto within = static_cast<std::size_t>(end - p);
        end = over >= within ? p : end - over;
    }
    while (p != end && !stopped_) {
        if (afterCR_) {
            afterCR_ = false;
            if (*p == '\n') {
                ++p;  // CR LF ends one line
                continue;
            }
        }
        if (rowCount_ == limits_.maxRows) {
            truncated_ = true;  // anything after the last row kept
            stopped_ = true;
            return;
        }
        if (atRecordStart_) {
            const char* q = p;
            while (q != end && *q == ' ') {
                ++q;  // blanks before a record
            }
            recordBytes_ += static_cast<std::size_t>(q - p);
            pending_ = pending_ || q != p;
            p = q;
            if (p == end) {
                break;
            }
            atRecordStart_ = false;
        }
        // Byte by byte while the bytes are kept, then only looked through.
        const char* kept = p + std::min(static_cast<std::size_t>(end - p),
                                        keep_ - std::min(keep_, record_.size()));
        const char* q = FindDelimiter(p, kept);
        if (q == kept) {
            q = SkipToDelimiter(q, end);
        }
        const auto length = static_cast<std::size_t>(q - p);
        if (record_.size() < keep_) {
            record_.append(p, std::min(length, keep_ - record_.size()));
        }
        recordBytes_ += length;
        pending_ = pending_ || length != 0;
        p = q;
        if (rowCount_ == 0 && record_.size() >= keep_) {
            // A first row too wide to draw refuses the file whatever
            // follows: an endless first line cannot hold the reader.
            endRecord();
            stopped_ = true;
            return;
        }
        if (recordBytes_ > limits_.maxRecordBytes) {
            endRecord();
            truncated_ = true;
            stopped_ = true;
            return;
        }
        if (p == end) {
            break;
        }
        const char delimiter = *p++;
        pending_ = delimiter == ',';
        afterCR_ = delimiter == '\r';
        endRecord();
    }
    if (limits_.maxBytes != 0 && taken_ > limits_.maxBytes && !stopped_) {
        truncated_ = true;
        stopped_ = true;
    }
}

std::size_t RowGreys(std::string_view row, std::size_t width, unsigned char* out, int* character) {
    const std::size_t have = std::min(row.size(), width);
    for (std::size_t c = 0; c < have; ++c) {
        const int g = kGreys[static_cast<unsigned char>(row[c])];
        if (g == -1) {
            *character = static_cast<unsigned char>(row[c]);
            return c;
        }
        out[c] = static_cast<unsigned char>(g);
    }
    if (have < width) {
        *character = -1;
        return have;
    }
    return width;
}

std::string UnknownValueText(long column, long row, int character) {
    // Each number follows one space, as the original's number formatting did.
    std::string text =
        "Unknown button value : ( " + std::to_string(column) + ", " + std::to_string(row) + ")";
    if (character >= 0) {
        text += static_cast<char>(character);
    }
    return text;
}

std::size_t RowPrefix(long rowNumber, char* out) {
    char digits[24];
    std::size_t n = 0;
    auto value = static_cast<unsigned long>(rowNumber);
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::size_t length = 0;
    for (std::size_t pad = n; pad < 5; ++pad) {
        out[length++] = '0';
    }
    while (n > 0) {
        out[length++] = digits[--n];
    }
    out[length++] = ':';
    return length;
}

void AppendLine(std::string& out, long rowNumber, std::string_view pixels) {
    char prefix[24];
    out.append(prefix, RowPrefix(rowNumber, prefix));
    out.append(pixels);
    out.append("\r\n", 2);
}

bool LooksLikeButtonFile(std::string_view head) {
    if (head.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        head.remove_prefix(kByteOrderMark.size());
    }
    head.remove_prefix(std::min(head.find_first_not_of(' '), head.size()));  // as the reader does
    if (head.size() < kPrefixLength || head[5] != ':') {
        return false;
    }
    for (std::size_t i = 0; i < 5; ++i) {
        if (head[i] < '0' || head[i] > '9') {
            return false;
        }
    }
    for (std::size_t i = kPrefixLength; i < head.size() && !IsDelimiter(head[i]); ++i) {
        if (Grey(static_cast<unsigned char>(head[i])) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace tavrel::btn
