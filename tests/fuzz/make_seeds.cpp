// Writes the seed corpora for the fuzz targets: small valid inputs of each
// kind, which the fuzzers then mutate.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

#include "tests/support/test_files.h"

namespace {

void Put(const QString& folder, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(folder);
    tavrel::testing::WriteAll(folder + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    using tavrel::testing::BitmapRecipe;
    using tavrel::testing::MakeBitmap;
    using tavrel::testing::WhiteBitmap;

    const QString buttons = root + "/button_file";
    Put(buttons, "small", "00000:0123\r\n00001:3210\r\n");
    Put(buttons, "lf", "00000:0333330\n00001:3122213\n00002:0333330\n");
    Put(buttons, "comma", "00000:12,3\r\n00001:33\r");
    Put(buttons, "bom",
        "\xEF\xBB\xBF"
        "00000:3\r\n");
    Put(buttons, "empty-row", "00000:\r\n00001:3333\r\n");
    QByteArray wide = "00000:" + QByteArray(300, '2') + "\r\n";
    Put(buttons, "wide", wide + wide);

    const QString pictures = root + "/picture";
    BitmapRecipe recipe = WhiteBitmap(7, 5, {{1, 1, 0}, {2, 2, 0x808080}, {5, 3, 0xC0C0C0}});
    for (int bits : {8, 16, 24, 32}) {
        recipe.bitsPerPixel = bits;
        Put(pictures, QString("bmp%1").arg(bits), MakeBitmap(recipe));
    }
    recipe.bitsPerPixel = 24;
    recipe.topDown = true;
    Put(pictures, "topdown", MakeBitmap(recipe));
    recipe.topDown = false;
    recipe.bitsPerPixel = 8;
    recipe.rle = true;
    Put(pictures, "rle8", MakeBitmap(recipe));
    QImage png(4, 3, QImage::Format_ARGB32);
    png.fill(qRgba(0, 0, 0, 128));
    QFile pngFile(pictures + "/png");
    pngFile.open(QIODevice::WriteOnly);
    png.save(&pngFile, "PNG");

    const QString args = root + "/cli_args";
    Put(args, "plain", QByteArray("a.bmp\0b.Btn", 11));
    Put(args, "options", QByteArray("--to-bmp\0-r\0-o\0out\0--jobs\0003\0folder", 34));
    Put(args, "bad", QByteArray("--jobs\0-1\0--nope", 16));
    return 0;
}
