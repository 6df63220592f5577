#pragma once

// What tests read back from pictures, on Qt Gui alone: the image plugin's
// tests include it from their Qt 5 build as well.

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable texts in the failures of GoogleTest checks.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tavrel::testing {

// An image's pixels as button characters, "?" for a colour of no level.
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

}  // namespace tavrel::testing
