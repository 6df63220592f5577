#pragma once

#include <QColor>
#include <QPalette>

namespace tavrel {

// The contrast between two colours, from 1 to 21 to 1, by their relative
// luminance as sRGB colours; text reads well from 4.5 to 1 on.
double Contrast(const QColor& a, const QColor& b);

// palette, with its selections made readable and told apart: the selected
// text reads on the highlight (4.5 to 1 at least), and a view without the
// focus shows its selection in a quiet grey instead of the highlight, so
// that the list the keys go to stands out. Only these colours are set in the
// result.
QPalette ReadableSelections(QPalette palette);

}  // namespace tavrel
