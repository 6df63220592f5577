#include "conversion/messages.h"

#include "button_format/messages.h"

namespace tavrel {

QString UnknownValueText(int column, int row, const QString& character) {
    // Each number follows one space, as the original's number formatting did.
    return QStringLiteral("Unknown button value : ( %1, %2)%3").arg(column).arg(row).arg(character);
}

QString DrawFailedText(const QString& path, const QString& description) {
    return FailureText(QStringLiteral(TAVREL_BTN_DRAW_ACTION), path, description);
}

QString TooWideDescription() {
    return QStringLiteral(TAVREL_BTN_TOO_WIDE_TEXT);
}

QString TooTallDescription() {
    return QStringLiteral(TAVREL_BTN_TOO_TALL_TEXT);
}

QString TruncatedText(const QString& path, int rows) {
    if (rows == 1) {
        return QStringLiteral("Only the first row of ") + path + QStringLiteral(" is read");
    }
    return QStringLiteral("Only the first %1 rows of ").arg(rows) + path +
           QStringLiteral(" are read");
}

QString ButtonFileSizeProblem(qint64 width, qint64 height) {
    if (width > kMaxButtonColumns) {
        return TooWideDescription();
    }
    return height > kMaxButtonFileRows ? TooTallDescription() : QString();
}

}  // namespace tavrel
