#pragma once

#include <QString>

namespace tavrel::cli {

// A name or value as it is printed: one line that cannot drive the
// terminal. Every control character, C0 (line breaks too), DEL or C1, is
// shown as \xNN.
QString Printable(const QString& text);

// A message of the window's as one printed line: the carriage return that
// parts its action from "Error: " becomes a space, the rest is Printable.
QString PrintableMessage(const QString& text);

}  // namespace tavrel::cli
