#pragma once

#include <QString>

namespace tavrel::cli {

// A name, value or message as it is printed: one line that cannot drive the
// terminal. A line break becomes a space (a message holds one between its
// action and "Error: "); every other control character, C0, DEL or C1, is
// shown as \xNN.
QString Printable(const QString& text);

}  // namespace tavrel::cli
