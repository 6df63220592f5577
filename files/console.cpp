#include "files/console.h"

#include "conversion/message_boxes.h"
#include "files/printable.h"

namespace tavrel {

QString Printable(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray line;
    line.reserve(utf8.size());
    PutPrintable(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                 [&line](std::string_view piece) {
                     line.append(piece.data(), static_cast<qsizetype>(piece.size()));
                 });
    return QString::fromUtf8(line);
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

}  // namespace tavrel
