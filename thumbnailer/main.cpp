// tavrel-thumbnailer -s SIZE INPUT OUTPUT: the thumbnail of a button file as
// a PNG no larger than SIZE by SIZE, for file managers that run the command
// of a freedesktop .thumbnailer entry.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imageformat/button_image_handler.h"
#include "platform/files.h"

namespace {

// Far above the largest thumbnail a desktop asks for (1024), small enough
// that no size given can make the program claim gigabytes.
constexpr int kMaxSize = 4096;

// One line on stderr; control characters a name or a file's bytes may carry
// (C1 ones too, which some terminals obey) are shown as \xNN, a line break
// inside a message as a space: none is sent to the terminal.
int Fail(const QString& subject, const QString& text) {
    QString line = QStringLiteral("tavrel-thumbnailer: ") + subject + QStringLiteral(": ") + text;
    QString shown;
    for (const QChar c : line) {
        if (c == QChar(13) || c == QChar(10)) {
            shown += QLatin1Char(' ');
        } else if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0)) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
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
    // Started with a standard stream closed, the files opened below would
    // take its number, and a message meant for stderr could land in them.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            open("/dev/null", O_RDWR);
        }
    }
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
