#include "widgets/hourglass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>

namespace tavrel {

namespace {

int gDepth = 0;

// Eats the user's presses while the queue is emptied. Releases pass: one
// whose press came before the hourglass ends what that press began, and one
// whose press was eaten finds nothing pressed.
class InputSink : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::ContextMenu:
                return true;
            default:
                return false;
        }
    }
};

void DropInput() {
    InputSink sink;
    QCoreApplication::instance()->installEventFilter(&sink);
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(&sink);
}

}  // namespace

Hourglass::Hourglass() {
    ++gDepth;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass() {
    if (--gDepth == 0) {
        // Everything queued so far was given while the work ran.
        DropInput();
    }
    QGuiApplication::restoreOverrideCursor();
}

void Hourglass::DropQueuedInput() {
    if (gDepth > 0) {
        DropInput();
    }
}

}  // namespace tavrel
