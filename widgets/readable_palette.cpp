#include "widgets/readable_palette.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

namespace {

double Luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

constexpr double kReadable = 4.5;

}  // namespace

double Contrast(const QColor& a, const QColor& b) {
    const double one = Luminance(a);
    const double other = Luminance(b);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

QPalette ReadableSelections(QPalette palette) {
    // Only what is changed here is set: a widget given the result takes
    // every other colour from the theme, also when that changes.
    palette.setResolveMask(0);
    const QColor text = palette.color(QPalette::Active, QPalette::HighlightedText);
    QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    // Darker under light text, lighter under dark text, step by step.
    const bool lightText = Luminance(text) > Luminance(highlight);
    for (int step = 0; step < 20 && Contrast(text, highlight) < kReadable; ++step) {
        highlight = lightText ? highlight.darker(110) : highlight.lighter(110);
    }
    palette.setColor(QPalette::Active, QPalette::Highlight, highlight);

    // A quarter of the way from the ground to the text: the text reads on it
    // in light and dark palettes alike.
    const QColor ground = palette.color(QPalette::Active, QPalette::Base);
    const QColor plain = palette.color(QPalette::Active, QPalette::Text);
    const auto mix = [](double g, double t) { return g * 0.75 + t * 0.25; };
    palette.setColor(
        QPalette::Inactive, QPalette::Highlight,
        QColor::fromRgbF(mix(ground.redF(), plain.redF()), mix(ground.greenF(), plain.greenF()),
                         mix(ground.blueF(), plain.blueF())));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, plain);
    return palette;
}

}  // namespace tavrel
