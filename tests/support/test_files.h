#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace tavrel::testing {

// Whole file contents, or an empty array when it cannot be read.
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
bool Exists(const QString& path);
// Names in a folder, "." and ".." left out, sorted.
QStringList Entries(const QString& folder);

// A Windows bitmap written by hand, so tests can make the variants the
// program must read: 16 (5-5-5), 24 or 32 bits, an 8-bit palette plain or
// run-length encoded, bottom-up or top-down. pixels are 0xRRGGBB, row by row
// from the top.
struct BitmapRecipe {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;  // 8, 16, 24 or 32
    bool topDown = false;
    bool rle = false;  // 8 bits only; never top-down
    std::vector<std::uint32_t> pixels;
};
QByteArray MakeBitmap(const BitmapRecipe& recipe);

// A bitmap file laid out field by field, as another program may write it:
// the 14-byte file header, an info header of headerSize bytes (12: OS/2 1.x,
// sizes in 16 bits; otherwise the fields of the 40-byte one, then
// headerTail from byte 40 on, cut or padded with zeros), then extra (masks,
// a palette), gap zero bytes and the pixels. The file header's offset points
// at the pixels.
struct BitmapFields {
    int headerSize = 40;
    std::int64_t width = 1;
    std::int64_t height = 1;
    int bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint32_t> headerTail{};
    QByteArray extra{};
    int gap = 0;
    QByteArray pixels{};
};
QByteArray BuildBitmap(const BitmapFields& fields);
// values as little-endian numbers of bytesEach bytes.
QByteArray LittleEndian(std::initializer_list<std::uint64_t> values, int bytesEach);

// A white w by h image with the given pixels (x, y, 0xRRGGBB) set.
struct Dot {
    int x;
    int y;
    std::uint32_t rgb;
};
BitmapRecipe WhiteBitmap(int w, int h, std::initializer_list<Dot> dots = {});

// Runs body with a file-size limit of limitBytes for this process, SIGXFSZ
// ignored, so that writes fail part-way even for root.
template <typename Body>
void WithFileSizeLimit(long limitBytes, Body&& body);

// Runs body with the address space of this process limited to what it maps
// now and extraBytes more, so that larger allocations fail.
template <typename Body>
void WithAddressSpaceLimit(long extraBytes, Body&& body);

}  // namespace tavrel::testing

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

namespace tavrel::testing {

template <typename Body>
void WithFileSizeLimit(long limitBytes, Body&& body) {
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit lowered = old;
    lowered.rlim_cur = static_cast<rlim_t>(limitBytes);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lowered);
    body();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
}

template <typename Body>
void WithAddressSpaceLimit(long extraBytes, Body&& body) {
    const long pages = ReadAll(QStringLiteral("/proc/self/statm")).split(' ').value(0).toLong();
    struct rlimit old {};
    getrlimit(RLIMIT_AS, &old);
    struct rlimit lowered = old;
    lowered.rlim_cur = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + extraBytes);
    setrlimit(RLIMIT_AS, &lowered);
    body();
    setrlimit(RLIMIT_AS, &old);
}

}  // namespace tavrel::testing
