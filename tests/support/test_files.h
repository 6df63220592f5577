#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <ostream>
#include <vector>

// Readable texts in the failures of GoogleTest checks.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tavrel::testing {

// Whole file contents, or an empty array when it cannot be read.
QByteArray ReadAll(const QString& path);
// Writes a file, making its folder when missing.
void WriteAll(const QString& path, const QByteArray& bytes);
bool Exists(const QString& path);
// Names in a folder, "." and ".." left out, sorted.
QStringList Entries(const QString& folder);

// A Windows bitmap written byte by byte from the format's definition: 16
// (5-5-5), 24 or 32 bits, an 8-bit palette plain or run-length encoded,
// bottom-up or top-down; pixels 0xRRGGBB, row by row from the top.
struct BitmapRecipe {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;  // 8, 16, 24 or 32
    bool topDown = false;
    bool rle = false;    // 8 bits only; never top-down
    bool alpha = false;  // 32 bits only: bit fields with alpha, pixels 0xAARRGGBB
    std::vector<std::uint32_t> pixels;
};
QByteArray MakeBitmap(const BitmapRecipe& recipe);

// A bitmap file field by field: an info header of `header` bytes (12: OS/2
// 1.x; else the 40-byte one's fields, cut or padded), the masks in it from
// byte 40 if it has 52 bytes or more, else after it; the palette (counted in
// 4-byte entries); the pixels.
struct BitmapFields {
    int bits = 24;
    std::int64_t compression = 0;
    std::vector<std::int64_t> masks{};
    QByteArray pixels{};
    std::int64_t width = 1;
    std::int64_t height = 1;
    int header = 40;
    QByteArray palette{};
};
QByteArray BuildBitmap(const BitmapFields& fields);
QByteArray LittleEndian(const std::vector<std::int64_t>& values, int bytesEach);

// A white w by h image with the given pixels (x, y, 0xRRGGBB) set.
struct Dot {
    int x;
    int y;
    std::uint32_t rgb;
};
BitmapRecipe WhiteBitmap(int w, int h, std::initializer_list<Dot> dots = {});

// A button file of these pixel rows, numbered from 00000, each ending in CR LF.
QByteArray ButtonText(const QStringList& rows);
// An image's pixels as button characters, "?" for a colour of no level.
// Inline, as PrintTo: the image plugin's Qt 5 test uses them, and only them.
inline QStringList Levels(const QImage& image) {
    const QList<QRgb> greys = {qRgb(255, 255, 255), qRgb(192, 192, 192), qRgb(128, 128, 128),
                               qRgb(0, 0, 0)};
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x) {
            const qsizetype level = greys.indexOf(image.pixel(x, y) | 0xFF000000u);
            row += QLatin1Char(level < 0 ? '?' : char('0' + level));
        }
        rows << row;
    }
    return rows;
}

// Runs body with a file-size limit, SIGXFSZ ignored: writes fail part-way.
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

// A row of a table of bash scripts, each run in a fresh folder: what it must
// print on standard output and on standard error.
struct ScriptRow {
    const char* name;
    const char* script;
    const char* out;
    const char* err;
};
inline void PrintTo(const ScriptRow& row, std::ostream* os) {
    *os << row.name;
}
struct ScriptRun {
    std::string out, err;
    bool skipped;  // the script exited 77; err says why
};
// Runs script with bash in a fresh folder that prepare fills, with the
// variables env ("NAME=value") added to the environment; the folder is
// removed after, names that are not UTF-8 and unreadable folders included.
ScriptRun RunScript(const QString& script, const QStringList& env,
                    void (*prepare)(const QString& dir) = nullptr);

}  // namespace tavrel::testing
