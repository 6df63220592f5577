#include "conversion/messages.h"

namespace tavrel {

QString UnknownValueText(int column, int row, const QString& character) {
    // Each number follows one space, as the original's number formatting did.
    return QStringLiteral("Unknown button value : ( %1, %2)%3").arg(column).arg(row).arg(character);
}

QString DrawFailedText(const QString& path, const QString& description) {
    return FailureText(QStringLiteral("Unable to draw file "), path, description);
}

QString TooWideDescription() {
    return QStringLiteral("a row holds more than %1 pixels").arg(kMaxButtonColumns);
}

QString TooTallDescription() {
    return QStringLiteral("the picture holds more than %1 rows").arg(kMaxButtonFileRows);
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
