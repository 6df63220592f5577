#include "widgets/hourglass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QInputEvent>
#include <QList>
#include <QPointer>

#include <optional>

#include <time.h>

namespace tavrel {

namespace {

// Input is stamped in milliseconds of the monotonic clock, in 32 bits that
// wrap, by the X server as by Wayland compositors.
using Stamp = quint32;

Stamp Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<Stamp>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// Whether stamp a lies at or after b, across a wrap.
bool NotBefore(Stamp a, Stamp b) {
    return static_cast<Stamp>(a - b) < 0x80000000u;
}

struct Busy {
    Stamp from;
    Stamp to;
};

int gDepth = 0;
std::optional<Stamp> gBusySince;  // while the hourglass is up and no box asks
QList<Busy> gBusy;                // the busy times whose input may still wait in the queue

bool GivenWhileBusy(Stamp given) {
    if (gBusySince && NotBefore(given, *gBusySince)) {
        return true;  // delivered by a nested loop before the work ended
    }
    for (const Busy& busy : gBusy) {
        if (NotBefore(given, busy.from) && NotBefore(busy.to, given)) {
            return true;
        }
    }
    return false;
}

// Eats the presses given while the hourglass was up.
class InputSink : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject*, QEvent* event) override {
        if (!event->isInputEvent()) {
            return false;
        }
        const auto given = static_cast<Stamp>(static_cast<QInputEvent*>(event)->timestamp());
        if (given == 0) {
            return false;  // made by the program, not given by the user
        }
        // Input comes in the order it was given: a busy time that ended
        // before this input has no more of its own waiting.
        while (!gBusy.isEmpty() && !NotBefore(gBusy.first().to, given)) {
            gBusy.removeFirst();
        }
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::ContextMenu:
                return GivenWhileBusy(given);
            default:
                return false;
        }
    }
};

void EndBusyTime() {
    if (gBusySince) {
        gBusy.append({*gBusySince, Now()});
        gBusySince.reset();
    }
}

}  // namespace

Hourglass::Hourglass() {
    static QPointer<InputSink> sink;
    if (sink.isNull()) {
        sink = new InputSink(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(sink);
    }
    if (gDepth++ == 0) {
        gBusySince = Now();
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass() {
    if (--gDepth == 0) {
        EndBusyTime();
    }
    QGuiApplication::restoreOverrideCursor();
}

Hourglass::Asking::Asking() {
    EndBusyTime();
}

Hourglass::Asking::~Asking() {
    if (gDepth > 0) {
        gBusySince = Now();
    }
}

}  // namespace tavrel
