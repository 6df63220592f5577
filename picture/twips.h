#pragma once

#include <cmath>

namespace tavrel {

// Places and sizes are given in twips, 15 to the (device-independent) pixel.
inline constexpr int kTwipsPerPixel = 15;

// The whole pixels a length in twips comes to: the nearest, as a control or
// a surface holds it.
inline int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

}  // namespace tavrel
