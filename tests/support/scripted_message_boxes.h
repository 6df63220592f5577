#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "platform/message_boxes.h"

namespace tavrel::testing {

// Records every message and answers Retry/Cancel as scripted. Once the
// script runs out it answers Cancel, so a test can never loop forever.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString title;
        bool retryCancel = false;
    };

    // Answers for the next Retry/Cancel boxes, in order. A hook, when set,
    // runs before each answer is given (to repair what failed, say).
    void Answer(std::initializer_list<MessageBoxes::Answer> answers) { answers_ += answers; }
    void OnRetryCancel(std::function<void()> hook) { hook_ = std::move(hook); }

    MessageBoxes::Answer RetryCancel(const QString& text, const QString& title) override {
        shown.append({text, title, true});
        if (hook_) {
            hook_();
        }
        return answers_.isEmpty() ? MessageBoxes::Answer::Cancel : answers_.takeFirst();
    }
    void OkOnly(const QString& text, const QString& title) override {
        shown.append({text, title, false});
    }

    QList<Shown> shown;

  private:
    QList<MessageBoxes::Answer> answers_;
    std::function<void()> hook_;
};

}  // namespace tavrel::testing
