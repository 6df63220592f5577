#pragma once

// The standard streams of the command-line programs: what they print, and
// descriptors that must not be taken by files.

#include <QString>

#include "files/standard_descriptors.h"

namespace tavrel {

// A name or value as a command-line program prints it: one line that cannot
// drive the terminal. Every control character, C0 (line breaks too), DEL or
// C1, is shown as \xNN (files/printable.h).
QString Printable(const QString& text);

// A message of the window's as one printed line: the carriage return that
// parts its action from "Error: " becomes a space, the rest is Printable.
QString PrintableMessage(const QString& text);

}  // namespace tavrel
