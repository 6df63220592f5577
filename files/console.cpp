#include "files/console.h"

#include <cerrno>

#include <fcntl.h>

#include "conversion/message_boxes.h"

namespace tavrel {

QString Printable(const QString& text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            line += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else {
            line += c;
        }
    }
    return line;
}

QString PrintableMessage(const QString& text) {
    // The last one: a name in the message may hold the same characters.
    const QString parting = kMessageBreak + QStringLiteral("Error: ");
    const qsizetype at = text.lastIndexOf(parting);
    if (at < 0) {
        return Printable(text);
    }
    return Printable(text.left(at)) + QLatin1Char(' ') + Printable(text.mid(at + 1));
}

void OpenClosedStandardDescriptors(bool closed[3]) {
    // Each open takes the lowest free descriptor, so they are filled in
    // order.
    for (int fd = 0; fd <= 2; ++fd) {
        closed[fd] = ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
        if (closed[fd] && ::open("/dev/null", O_RDWR) < 0) {
            ::open("/", O_PATH);  // no /dev/null: a placeholder that takes no write
        }
    }
}

}  // namespace tavrel
