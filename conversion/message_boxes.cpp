#include "conversion/message_boxes.h"

namespace tavrel {

QString FailureText(const QString& action, const QString& subject, const QString& description) {
    return action + subject + kMessageBreak + QStringLiteral("Error: ") + description;
}

}  // namespace tavrel
