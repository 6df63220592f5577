#include "main_window/layout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tavrel {

TwipsRect TwipsGeometry(const QWidget* control) {
    const QRect g = control->geometry();
    return {g.x() * kTwips, g.y() * kTwips, g.width() * kTwips, g.height() * kTwips};
}

void SetTwipsGeometry(QWidget* control, const TwipsRect& place) {
    control->setGeometry(TwipsToPixels(place.left), TwipsToPixels(place.top),
                         std::max(0, TwipsToPixels(place.width)),
                         std::max(0, TwipsToPixels(place.height)));
}

double KeepExact(double twips) {
    return twips;
}

double KeepWholePixels(double twips) {
    return std::round(twips / kTwips) * kTwips;
}

void ComputeLayout(LayoutControls& c, double W, double H, HeldValue held) {
    const auto place = [held](double value) { return held(value); };
    const auto size = [held](double value) { return held(std::max(0.0, value)); };

    c.frmBMP.width = size((W - 300) / 2);
    c.cmdToBMP.left = place(c.cmdToBMP.width / 2 + c.frmBMP.width);
    c.cmdToButton.left = place(c.cmdToBMP.left);
    c.cmdOK.left = place(c.cmdToButton.left);
    c.cmdAbout.left = place(c.cmdToButton.left);
    c.picBMP.height = size(H / 6);
    c.frmBMP.height = size(H - c.picBMP.height - 500);
    c.picBMP.top = place(H - c.picBMP.height - 350);
    c.picBMP.width = size(c.frmBMP.width);
    c.drvBMP.top = place(c.frmBMP.top + 200);
    c.drvBMP.width = size(c.frmBMP.width - 200);
    c.dirBMP.top = place(c.drvBMP.height + c.drvBMP.top + 100);
    c.dirBMP.height = size(c.frmBMP.height - c.dirBMP.top);
    c.dirBMP.width = size(c.frmBMP.width / 2 - 200);
    c.fileBMP.left = place(c.dirBMP.width + c.dirBMP.left + 150);
    c.fileBMP.top = place(c.dirBMP.top);
    c.fileBMP.width = size(c.dirBMP.width);
    c.fileBMP.height = size(c.dirBMP.height + 100);
    c.frmButtons.width = size(W / 2 - 2 * c.cmdToBMP.width);
    c.frmButtons.height = size(c.frmBMP.height);
    c.frmButtons.left = place(c.cmdToBMP.width + c.cmdToBMP.left + c.cmdToBMP.width / 2);
    c.picButtons.left = place(c.frmButtons.left);
    c.picButtons.top = place(c.picBMP.top);
    c.picButtons.width = size(c.frmButtons.width);
    c.picButtons.height = size(c.picBMP.height);
    c.drvButtons.top = place(c.frmButtons.top + 200);
    c.drvButtons.left = place(c.frmButtons.left + 100);
    c.drvButtons.width = size(c.frmButtons.width - 200);
    c.dirButtons.top = place(c.drvButtons.height + c.drvButtons.top + 100);
    c.dirButtons.height = size(c.dirBMP.height);
    c.dirButtons.left = place(c.frmButtons.left + 100);
    c.dirButtons.width = size(c.frmButtons.width / 2 - 200);
    c.fileButtons.left = place(c.dirButtons.width + c.dirButtons.left + 150);
    c.fileButtons.top = place(c.dirButtons.top);
    c.fileButtons.width = size(c.dirButtons.width);
    c.fileButtons.height = size(c.fileBMP.height);
}

double MinimumLayoutWidth(double commandWidth, double listWidth) {
    // The button pane's lists are the narrowest: W / 4 - commandWidth - 200.
    return 4 * (commandWidth + 200 + listWidth);
}

double MinimumLayoutHeight(double frameTop, double driveHeight, double listHeight) {
    // The bitmap folder list, whose height the others copy or exceed:
    // 5H/6 - 500 - (frameTop + 200 + driveHeight + 100).
    return 1.2 * (800 + frameTop + driveHeight + listHeight);
}

}  // namespace tavrel
