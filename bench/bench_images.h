#pragma once

#include <QImage>

namespace tavrel::bench {

// A white width-by-height image with a contentW-by-contentH area of the four
// grey levels (and colours in between) centred in it.
inline QImage ContentImage(int width, int height, int contentW, int contentH) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(0xFFFFFFFFu);
    const int x0 = (width - contentW) / 2;
    const int y0 = (height - contentH) / 2;
    for (int y = 0; y < contentH; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y0 + y)) + x0;
        for (int x = 0; x < contentW; ++x) {
            const int v = (x * 7 + y * 13) & 0xFF;
            line[x] = qRgb(v, 255 - v, v / 2);
        }
    }
    return image;
}

}  // namespace tavrel::bench
