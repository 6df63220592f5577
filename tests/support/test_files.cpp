#include "tests/support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace tavrel::testing {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write test file " + path.toStdString());
    }
}

bool Exists(const QString& path) {
    return QFileInfo::exists(path);
}

QStringList Entries(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

namespace {

void Put16(QByteArray& b, int v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray& b, std::int64_t v) {
    for (int i = 0; i < 4; ++i) {
        b.append(char((v >> (8 * i)) & 0xFF));
    }
}

}  // namespace

QByteArray MakeBitmap(const BitmapRecipe& recipe) {
    std::vector<std::uint32_t> palette;
    if (recipe.bitsPerPixel == 8) {
        for (std::uint32_t p : recipe.pixels) {
            bool found = false;
            for (std::uint32_t q : palette) {
                found = found || q == p;
            }
            if (!found) {
                palette.push_back(p);
            }
        }
        if (palette.size() > 256) {
            throw std::runtime_error("too many colours for a palette");
        }
    }
    const auto indexOf = [&](std::uint32_t p) {
        int index = 0;
        while (palette[static_cast<size_t>(index)] != p) {
            ++index;
        }
        return index;
    };
    QByteArray data;
    const int rowBytes = ((recipe.width * recipe.bitsPerPixel + 31) / 32) * 4;
    for (int i = 0; i < recipe.height; ++i) {
        const int y = recipe.topDown ? i : recipe.height - 1 - i;
        QByteArray row;
        for (int x = 0; x < recipe.width; ++x) {
            const std::uint32_t p = recipe.pixels[static_cast<size_t>(y * recipe.width + x)];
            if (recipe.rle) {
                // One run per pixel: count 1, then the palette index.
                row.append(char(1));
                row.append(char(indexOf(p)));
            } else if (recipe.bitsPerPixel == 8) {
                row.append(char(indexOf(p)));
            } else if (recipe.bitsPerPixel == 16) {
                const int v = int(((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31));
                Put16(row, v);
            } else {
                row.append(char(p & 0xFF));
                row.append(char((p >> 8) & 0xFF));
                row.append(char((p >> 16) & 0xFF));
                if (recipe.bitsPerPixel == 32) {
                    row.append(char(0));
                }
            }
        }
        if (recipe.rle) {
            row.append(char(0));
            row.append(char(i == recipe.height - 1 ? 1 : 0));  // end of bitmap, or of line
        } else {
            while (row.size() < rowBytes) {
                row.append(char(0));
            }
        }
        data.append(row);
    }

    const int paletteBytes = static_cast<int>(palette.size()) * 4;
    const int dataOffset = 14 + 40 + paletteBytes;
    QByteArray b;
    b.append("BM");
    Put32(b, dataOffset + data.size());
    Put32(b, 0);
    Put32(b, dataOffset);
    Put32(b, 40);
    Put32(b, recipe.width);
    Put32(b, recipe.topDown ? -recipe.height : recipe.height);
    Put16(b, 1);
    Put16(b, recipe.bitsPerPixel);
    Put32(b, recipe.rle ? 1 : 0);  // BI_RLE8 or BI_RGB
    Put32(b, data.size());
    Put32(b, 3780);
    Put32(b, 3780);
    Put32(b, static_cast<std::int64_t>(palette.size()));
    Put32(b, 0);
    for (std::uint32_t p : palette) {
        b.append(char(p & 0xFF));
        b.append(char((p >> 8) & 0xFF));
        b.append(char((p >> 16) & 0xFF));
        b.append(char(0));
    }
    b.append(data);
    return b;
}

QByteArray BuildBitmap(const BitmapFields& f) {
    const QByteArray masks = LittleEndian(f.masks, 4);
    QByteArray info = LittleEndian({f.header}, 4);
    if (f.header == 12) {
        info += LittleEndian({f.width, f.height, 1, f.bits}, 2);
    } else {
        info +=
            LittleEndian({f.width, f.height}, 4) + LittleEndian({1, f.bits}, 2) +
            LittleEndian({f.compression, f.pixels.size(), 3780, 3780, f.palette.size() / 4, 0}, 4) +
            (f.header >= 52 ? masks : QByteArray());
        info.resize(f.header, '\0');
    }
    const QByteArray extra = (f.header < 52 ? masks : QByteArray()) + f.palette;
    const std::int64_t offset = 14 + info.size() + extra.size();
    return "BM" + LittleEndian({offset + f.pixels.size(), 0, offset}, 4) + info + extra + f.pixels;
}

QByteArray LittleEndian(const std::vector<std::int64_t>& values, int bytesEach) {
    QByteArray bytes;
    for (std::size_t i = 0; i < values.size() * bytesEach; ++i) {
        bytes.append(char(values[i / bytesEach] >> (8 * (i % bytesEach))));
    }
    return bytes;
}

BitmapRecipe WhiteBitmap(int w, int h, std::initializer_list<Dot> dots) {
    BitmapRecipe recipe;
    recipe.width = w;
    recipe.height = h;
    recipe.pixels.assign(static_cast<size_t>(w * h), 0xFFFFFF);
    for (const Dot& d : dots) {
        recipe.pixels[static_cast<size_t>(d.y * w + d.x)] = d.rgb;
    }
    return recipe;
}

}  // namespace tavrel::testing
