#pragma once

#include <QString>

#include "button_format/button_format.h"
#include "conversion/message_boxes.h"

namespace tavrel {

// The program's title, which also heads its OK-only messages.
inline const QString kApplicationTitle = QStringLiteral("Tavrel");

inline const QString kOpenAction = QStringLiteral("Unable to open file ");
inline const QString kLoadAction = QStringLiteral("Unable to load file ");
inline const QString kSaveAction = QStringLiteral("Unable to save file ");
inline const QString kOpenTitle = QStringLiteral("File open error");
inline const QString kLoadTitle = QStringLiteral("File load error");
inline const QString kSaveTitle = QStringLiteral("File save error");

inline const QString kNothingToConvert =
    QStringLiteral("Nothing to convert: the image has no content");

// The widest row the program draws, the rows the window reads and the most
// rows a button file holds, as the format has them.
inline constexpr int kMaxButtonColumns = static_cast<int>(btn::kMaxColumns);
inline constexpr int kMaxButtonRows = static_cast<int>(btn::kWindowRows);
inline constexpr int kMaxButtonFileRows = static_cast<int>(btn::kMaxFileRows);

// "Unknown button value : ( 12, 3)x"; an empty character for a short row.
QString UnknownValueText(int column, int row, const QString& character);
// "Unable to draw file PATH" CR "Error: DESCRIPTION"
QString DrawFailedText(const QString& path, const QString& description);
// The description for a row wider than the program draws.
QString TooWideDescription();
// The description for a picture taller than a button file holds.
QString TooTallDescription();
// "Only the first 1000 rows of PATH are read", with the count of rows read.
QString TruncatedText(const QString& path, int rows);
// Why a picture of width by height pixels cannot be written as a button file
// that the reader takes back (TooWideDescription or TooTallDescription);
// empty when it can.
QString ButtonFileSizeProblem(qint64 width, qint64 height);

// Asks Retry or Cancel about a failed action until attempt succeeds or the
// user cancels. attempt returns true on success, false with a description.
template <typename Attempt>
bool RetryUntilDone(MessageBoxes& boxes, const QString& action, const QString& subject,
                    const QString& title, Attempt&& attempt) {
    for (;;) {
        QString error;
        if (attempt(&error)) {
            return true;
        }
        if (boxes.RetryCancel(FailureText(action, subject, error), title) !=
            MessageBoxes::Answer::Retry) {
            return false;
        }
    }
}

}  // namespace tavrel
