#include "platform/hourglass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>

namespace tavrel {

namespace {

int gDepth = 0;

// Eats the user's input while the queue is emptied.
class InputSink : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::ContextMenu:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

Hourglass::Hourglass() {
    ++gDepth;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass() {
    if (--gDepth == 0) {
        // Everything queued so far was given while the work ran.
        InputSink sink;
        QCoreApplication::instance()->installEventFilter(&sink);
        QCoreApplication::processEvents();
        QCoreApplication::instance()->removeEventFilter(&sink);
    }
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace tavrel
