#pragma once

#include <QIcon>

namespace tavrel {

// Makes the pictures available under ":/tavrel/" (to_button.xpm, to_bmp.xpm,
// tavrel-32.xpm, tavrel-16.xpm). Any number of calls.
void RegisterPictures();

// The application icon, with its 32 and 16 pixel images: the program's, the
// main window's and the About box's.
QIcon ApplicationIcon();

}  // namespace tavrel
