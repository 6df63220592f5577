// Writes the seed corpora for the fuzz targets: small valid inputs of each
// kind, which the fuzzers then mutate.
#include <QCoreApplication>

#include "tests/support/test_files.h"

using namespace tavrel::testing;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString root = argc == 2 ? QString::fromLocal8Bit(argv[1]) : QString("seeds");
    for (const char* target : {"/button_file", "/pixbuf"}) {
        WriteAll(root + target + "/small", "00000:0123\r\n00001:3210\r\n");
        WriteAll(root + target + "/mixed",
                 QByteArray("\xEF\xBB\xBF") + "00000:12,3\n00001:\r00002:33");
    }
    BitmapRecipe recipe = WhiteBitmap(7, 5, {{1, 1, 0}, {2, 2, 0x808080}, {5, 3, 0xC0C0C0}});
    for (const int bits : {8, 16, 24, 32}) {
        recipe.bitsPerPixel = bits;
        recipe.topDown = bits == 32;
        WriteAll(root + QString("/picture/bmp%1").arg(bits), MakeBitmap(recipe));
    }
    recipe.bitsPerPixel = 8;
    recipe.topDown = false;
    recipe.rle = true;
    WriteAll(root + "/picture/rle8", MakeBitmap(recipe));
    WriteAll(root + "/cli_args/options",
             QByteArray("--to-bmp\0-r\0-o\0out\0--jobs\0003\0a.btn", 33));
    return 0;
}
