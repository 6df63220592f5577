#include "tests/support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace tavrel::testing {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
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

QByteArray MakeBitmap(const BitmapRecipe& recipe) {
    std::vector<std::uint32_t> palette;
    for (std::uint32_t p : recipe.pixels) {
        if (recipe.bitsPerPixel == 8 &&
            std::find(palette.begin(), palette.end(), p) == palette.end()) {
            palette.push_back(p);
        }
    }
    const auto index = [&](std::uint32_t p) {
        return char(std::find(palette.begin(), palette.end(), p) - palette.begin());
    };
    QByteArray data;
    const int rowBytes = (recipe.width * recipe.bitsPerPixel + 31) / 32 * 4;
    for (int i = 0; i < recipe.height; ++i) {
        const int y = recipe.topDown ? i : recipe.height - 1 - i;
        QByteArray row;
        for (int x = 0; x < recipe.width; ++x) {
            const std::uint32_t p = recipe.pixels[static_cast<size_t>(y * recipe.width + x)];
            if (recipe.rle) {
                row.append(char(1)).append(index(p));  // a run of one pixel
            } else if (recipe.bitsPerPixel == 8) {
                row.append(index(p));
            } else if (recipe.bitsPerPixel == 16) {
                row += LittleEndian(
                    {((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31)}, 2);
            } else {
                // Blue, green, red (and a zero byte).
                row += LittleEndian({p}, recipe.bitsPerPixel / 8);
            }
        }
        if (recipe.rle) {
            row.append(char(0)).append(
                char(i == recipe.height - 1 ? 1 : 0));  // end of bitmap or line
        }
        data.append(recipe.rle ? row : row.leftJustified(rowBytes, '\0'));
    }
    QByteArray colours;
    for (std::uint32_t p : palette) {
        colours += LittleEndian({p}, 4);
    }
    return BuildBitmap({.bits = recipe.bitsPerPixel,
                        .compression = recipe.rle     ? 1
                                       : recipe.alpha ? 3
                                                      : 0,
                        .masks = recipe.alpha
                                     ? std::vector<std::int64_t>{0xFF0000, 0xFF00, 0xFF, 0xFF000000}
                                     : std::vector<std::int64_t>{},
                        .pixels = data,
                        .width = recipe.width,
                        .height = recipe.topDown ? -recipe.height : recipe.height,
                        .header = recipe.alpha ? 124 : 40,  // v5, as image editors write it
                        .palette = colours});
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

QByteArray ButtonText(const QStringList& rows) {
    QByteArray text;
    for (int i = 0; i < rows.size(); ++i) {
        text += QByteArray::number(i).rightJustified(5, '0') + ':' + rows[i].toLatin1() + "\r\n";
    }
    return text;
}

ScriptRun RunScript(const QString& script, const QStringList& env,
                    void (*prepare)(const QString& dir)) {
    QTemporaryDir dir;
    dir.setAutoRemove(false);  // names that are not UTF-8 are removed below
    if (prepare != nullptr) {
        prepare(dir.path());
    }
    QProcess bash;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : env) {
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    }
    bash.setProcessEnvironment(environment);
    bash.setWorkingDirectory(dir.path());
    bash.start("bash", {"-c", script});
    bash.waitForFinished(-1);
    ScriptRun run{bash.readAllStandardOutput().toStdString(),
                  bash.readAllStandardError().toStdString(), bash.exitCode() == 77};
    QProcess::execute("chmod", {"-R", "u+rwx", dir.path()});
    std::filesystem::remove_all(dir.path().toStdString());
    return run;
}

}  // namespace tavrel::testing
