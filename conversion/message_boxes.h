#pragma once

#include <QString>

namespace tavrel {

// The carriage return that separates a message's action line from its
// "Error: " line. The texts keep it; a visible box shows it as a line break.
inline constexpr QChar kMessageBreak = QChar(13);

// The two kinds of message box the program shows. The conversion core talks
// to this interface only, so it never needs the widgets library: the window
// shows real boxes, the command-line converter prints a line, tests script
// the answers.
class MessageBoxes {
  public:
    enum class Answer { Retry, Cancel, Ok };

    virtual ~MessageBoxes() = default;

    // Retry and Cancel, no icon. Returns Retry or Cancel.
    virtual Answer RetryCancel(const QString& text, const QString& title) = 0;

    // OK only.
    virtual void OkOnly(const QString& text, const QString& title) = 0;
};

// "Unable to open file /x/y.Btn" CR "Error: No such file or directory"
QString FailureText(const QString& action, const QString& subject, const QString& description);

}  // namespace tavrel
