#pragma once

// The standard streams of the command-line programs: what they print, and
// descriptors that must not be taken by files.

#include <QString>

namespace tavrel {

// A name or value as a command-line program prints it: one line that cannot
// drive the terminal. Every control character, C0 (line breaks too), DEL or
// C1, is shown as \xNN.
QString Printable(const QString& text);

// A message of the window's as one printed line: the carriage return that
// parts its action from "Error: " becomes a space, the rest is Printable.
QString PrintableMessage(const QString& text);

// Opens each of the standard descriptors 0, 1 and 2 that is closed on
// /dev/null, so that no file the program opens later takes its number (and
// a message meant for stderr lands in it); closed[fd] tells which were.
// Call it first in main, before anything opens a file.
void OpenClosedStandardDescriptors(bool closed[3]);

}  // namespace tavrel
