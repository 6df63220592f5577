#pragma once

// The standard descriptors of the command-line programs, without Qt.

namespace tavrel {

// Opens each of the standard descriptors 0, 1 and 2 that is closed on
// /dev/null, so that no file the program opens later takes its number (and
// a message meant for stderr lands in it); closed[fd] tells which were.
// Call it first in main, before anything opens a file.
void OpenClosedStandardDescriptors(bool closed[3]);

}  // namespace tavrel
