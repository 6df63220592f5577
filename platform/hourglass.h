#pragma once

#include <QGuiApplication>

namespace tavrel {

// The wait pointer for as long as the guard lives: every way out of a scope,
// failures included, returns the pointer to what it was.
class Hourglass {
  public:
    Hourglass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QGuiApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

}  // namespace tavrel
