#include "widgets/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "widgets/hourglass.h"

namespace tavrel {

namespace {

// The texts keep their lone carriage return; on screen it is a line break.
QString Displayed(const QString& text) {
    QString shown = text;
    shown.replace(kMessageBreak, QLatin1Char('\n'));
    return shown;
}

// The messages may come while the hourglass is up; the box itself shows the
// normal pointer, and the hourglass returns when it closes. A click or key
// given while the work ran is dropped, so that it cannot land on the box (its
// default button, say).
class NormalPointer {
  public:
    NormalPointer() {
        if (QApplication::overrideCursor() != nullptr) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
            pushed_ = true;
        }
    }
    ~NormalPointer() {
        if (pushed_) {
            QApplication::restoreOverrideCursor();
        }
    }
    NormalPointer(const NormalPointer&) = delete;
    NormalPointer& operator=(const NormalPointer&) = delete;

  private:
    Hourglass::Asking asking_;
    bool pushed_ = false;
};

}  // namespace

MessageBoxes::Answer QtMessageBoxes::RetryCancel(const QString& text, const QString& title) {
    NormalPointer pointer;
    QMessageBox box(QMessageBox::NoIcon, title, Displayed(text),
                    QMessageBox::Retry | QMessageBox::Cancel, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
}

void QtMessageBoxes::OkOnly(const QString& text, const QString& title) {
    NormalPointer pointer;
    QMessageBox box(QMessageBox::NoIcon, title, Displayed(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace tavrel
