#include "cli/printable.h"

namespace tavrel::cli {

QString Printable(const QString& text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 13 || u == 10) {
            line += QLatin1Char(' ');
        } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            line += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else {
            line += c;
        }
    }
    return line;
}

}  // namespace tavrel::cli
