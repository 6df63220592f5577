#pragma once

#include "conversion/message_boxes.h"

class QWidget;

namespace tavrel {

// The real message boxes, for the window program.
class QtMessageBoxes : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

    Answer RetryCancel(const QString& text, const QString& title) override;
    void OkOnly(const QString& text, const QString& title) override;

  private:
    QWidget* parent_;
};

}  // namespace tavrel
