#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "conversion/message_boxes.h"

namespace tavrel::testing {

// The application's pointer override now, if any (none without a GUI).
inline std::optional<Qt::CursorShape> OverridePointer() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return std::nullopt;
    }
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr ? std::optional(cursor->shape()) : std::nullopt;
}

// Records every message and answers Retry/Cancel as scripted. Once the
// script runs out it answers Cancel, so a test can never loop forever.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString title;
        bool retryCancel = false;
        // The pointer override while the box was up (the hourglass, say).
        std::optional<Qt::CursorShape> pointer;
    };

    // Answers for the next Retry/Cancel boxes; the hook runs before each.
    void Answer(std::initializer_list<MessageBoxes::Answer> answers) { answers_ += answers; }
    void OnRetryCancel(std::function<void()> hook) { hook_ = std::move(hook); }

    MessageBoxes::Answer RetryCancel(const QString& text, const QString& title) override {
        shown.append({text, title, true, OverridePointer()});
        if (hook_) {
            hook_();
        }
        return answers_.isEmpty() ? MessageBoxes::Answer::Cancel : answers_.takeFirst();
    }
    void OkOnly(const QString& text, const QString& title) override {
        shown.append({text, title, false, OverridePointer()});
    }

    QList<Shown> shown;

  private:
    QList<MessageBoxes::Answer> answers_;
    std::function<void()> hook_;
};

}  // namespace tavrel::testing
