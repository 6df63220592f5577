#pragma once

#include "picture/twips.h"

class QWidget;

namespace tavrel {

inline constexpr double kTwips = kTwipsPerPixel;

// A control's place in the window's client area, in twips.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

TwipsRect TwipsGeometry(const QWidget* control);
// Places a control; it keeps whole pixels, the nearest to each value.
void SetTwipsGeometry(QWidget* control, const TwipsRect& place);

// The controls that follow the window's size.
struct LayoutControls {
    TwipsRect frmBMP, frmButtons;
    TwipsRect cmdToBMP, cmdToButton, cmdOK, cmdAbout;
    TwipsRect picBMP, picButtons;
    TwipsRect drvBMP, drvButtons;
    TwipsRect dirBMP, dirButtons;
    TwipsRect fileBMP, fileButtons;
};

// What a control keeps of a value assigned to it.
using HeldValue = double (*)(double);
// An ideal control keeps every value exactly.
double KeepExact(double twips);
// A widget keeps whole pixels.
double KeepWholePixels(double twips);

// Places the controls for a window whose outer size is width by height
// twips, step after step, each step reading what earlier steps left in the
// controls as they hold it. Widths and heights that would be negative are
// zero.
void ComputeLayout(LayoutControls& c, double width, double height, HeldValue held);

// The smallest outer size at which the narrowest folder or file list is
// listWidth twips wide and the lists listHeight twips high, for command
// buttons commandWidth twips wide, and the bitmap frame at frameTop with a
// drive list driveHeight twips high.
double MinimumLayoutWidth(double commandWidth, double listWidth);
double MinimumLayoutHeight(double frameTop, double driveHeight, double listHeight);

}  // namespace tavrel
