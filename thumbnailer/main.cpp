// tavrel-thumbnailer -s SIZE INPUT OUTPUT: the thumbnail of a button file as
// a PNG no larger than SIZE by SIZE, for file managers that run the command
// of a freedesktop .thumbnailer entry.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/console.h"
#include "files/files.h"
#include "imageformat/button_image_handler.h"

namespace {

// Far above the largest thumbnail a desktop asks for (1024), small enough
// that no size given can make the program claim gigabytes.
constexpr int kMaxSize = 4096;

// One line on stderr, as the converter prints its messages: no control
// character a name or a file's bytes may carry reaches the terminal.
int Fail(const QString& subject, const QString& text) {
    const QString line = QStringLiteral("tavrel-thumbnailer: ") + tavrel::Printable(subject) +
                         QStringLiteral(": ") + tavrel::PrintableMessage(text);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    return 1;
}

// Small buttons grow by a whole number of pixels, so they stay crisp; large
// ones shrink smoothly to fit.
QImage Thumbnail(const QImage& image, int size) {
    const int longest = std::max(image.width(), image.height());
    if (longest <= size) {
        const int factor = size / longest;
        return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                            Qt::FastTransformation);
    }
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

int main(int argc, char* argv[]) {
    bool closed[3] = {};
    tavrel::OpenClosedStandardDescriptors(closed);
    bool sized = false;
    const int size = argc == 5 ? QByteArray(argv[2]).toInt(&sized) : 0;
    if (argc != 5 || std::strcmp(argv[1], "-s") != 0 || !sized || size < 1 || size > kMaxSize) {
        std::fprintf(stderr, "usage: tavrel-thumbnailer -s SIZE INPUT OUTPUT (SIZE 1 to %d)\n",
                     kMaxSize);
        return 2;
    }
    const QString input = QFile::decodeName(argv[3]);
    const QString output = QFile::decodeName(argv[4]);

    QFile file;
    QString error;
    if (!tavrel::OpenRegularFile(input, file, &error)) {
        return Fail(input, error);
    }
    tavrel::ButtonImageHandler handler;
    handler.setDevice(&file);
    QImage image;
    if (!handler.read(&image)) {
        return Fail(input, handler.errorString());
    }
    // Written whole or not at all: a thumbnail cache never keeps half a PNG.
    QSaveFile saved(output);
    if (!saved.open(QIODevice::WriteOnly) || !Thumbnail(image, size).save(&saved, "PNG") ||
        !saved.commit()) {
        return Fail(output, saved.errorString());
    }
    return 0;
}
