#include "thumbnailer/thumbnail.h"

#include <algorithm>
#include <new>

namespace tavrel::thumbnail {

namespace {

using std::uint64_t;

// The share of input cell i in output cell o when n input cells map onto m
// output cells: input cell i spans [i·m, (i+1)·m), output cell o spans
// [o·n, (o+1)·n). Calls add(i, overlap) for each input cell that overlaps;
// the overlaps add up to n.
template <typename Add>
void ForEachShare(uint64_t o, uint64_t n, uint64_t m, Add&& add) {
    const uint64_t low = o * n;
    const uint64_t high = low + n;
    for (uint64_t i = low / m; i * m < high; ++i) {
        add(i, std::min(high, (i + 1) * m) - std::max(low, i * m));
    }
}

}  // namespace

Size ThumbnailSize(long width, long height, long size) {
    const long longest = std::max(width, height);
    if (longest <= size) {
        const long factor = size / longest;
        return {width * factor, height * factor};
    }
    const long long byHeight = static_cast<long long>(size) * width / height;
    if (byHeight <= size) {
        return {std::max(1L, static_cast<long>(byHeight)), size};
    }
    return {size, std::max(1L, static_cast<long>(static_cast<long long>(size) * height / width))};
}

bool Thumbnail::Row(std::string_view pixels) {
    try {
        if (rows_ == 0) {
            width_ = pixels.size();
            if (width_ == 0 || width_ > static_cast<std::size_t>(btn::kMaxColumns)) {
                stop_ = width_ == 0 ? Stop::NoPixels : Stop::TooWide;
                return false;
            }
            // A drawing wider than it can be tall is as wide as the
            // thumbnail: its columns shrink at once to the thumbnail's.
            // Any other keeps every pixel, at most 1000 or size a row.
            const auto size = static_cast<std::size_t>(size_);
            columns_ = width_ > std::max<std::size_t>(size, btn::kWindowRows) ? size : width_;
            greys_.resize(width_);
            kept_.reserve(columns_ * static_cast<std::size_t>(btn::kWindowRows));
        }
        ++rows_;
        const std::size_t good = btn::RowGreys(pixels, width_, greys_.data(), &badCharacter_);
        if (good != width_) {
            badColumn_ = static_cast<long>(good) + 1;
            stop_ = Stop::UnknownValue;
            return false;
        }
        const std::size_t start = kept_.size();
        kept_.resize(start + columns_);
        std::uint16_t* row = kept_.data() + start;
        if (columns_ == width_) {
            for (std::size_t c = 0; c < width_; ++c) {
                row[c] = static_cast<std::uint16_t>(greys_[c] << 8);
            }
            return true;
        }
        // Each pixel spans columns_ units, each kept column width_; a pixel
        // is never wider than a column, so it reaches into two at most.
        const uint64_t pixel = columns_, column = width_;
        uint64_t sum = 0, at = 0, end = column;
        for (std::size_t c = 0; c < width_; ++c) {
            const uint64_t grey = greys_[c];
            if (at + pixel < end) {
                sum += grey * pixel;
            } else {
                sum += grey * (end - at);
                *row++ = static_cast<std::uint16_t>((sum * 256 + column / 2) / column);
                sum = grey * (at + pixel - end);
                end += column;
            }
            at += pixel;
        }
        return true;
    } catch (const std::bad_alloc&) {
        stop_ = Stop::NoMemory;
        return false;
    }
}

bool Thumbnail::Prepare() noexcept {
    out_ = OutputSize();
    try {
        sums_.assign(columns_, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void Thumbnail::Line(long y, unsigned char* out) noexcept {
    // Rows down, then columns across, each weighted by the area it shares
    // with the thumbnail pixel; a button that grows lands whole in one.
    const auto rows = static_cast<uint64_t>(rows_), columns = static_cast<uint64_t>(columns_);
    std::fill(sums_.begin(), sums_.end(), 0);
    ForEachShare(static_cast<uint64_t>(y), rows, static_cast<uint64_t>(out_.height),
                 [&](uint64_t r, uint64_t share) {
                     const std::uint16_t* row = kept_.data() + r * columns;
                     for (uint64_t c = 0; c < columns; ++c) {
                         sums_[c] += row[c] * share;
                     }
                 });
    const uint64_t whole = rows * columns * 256;
    for (long x = 0; x < out_.width; ++x) {
        uint64_t sum = 0;
        ForEachShare(static_cast<uint64_t>(x), columns, static_cast<uint64_t>(out_.width),
                     [&](uint64_t c, uint64_t share) { sum += sums_[c] * share; });
        out[x] = static_cast<unsigned char>((sum + whole / 2) / whole);
    }
}

}  // namespace tavrel::thumbnail
