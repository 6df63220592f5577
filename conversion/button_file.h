#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include "conversion/message_boxes.h"
#include "files/sequential_file.h"

namespace tavrel {

// Pixel rows of a button file as read: row r of the file (from 1) is
// rows[r - 1], holding the line without its first six characters.
using ButtonFileRows = QList<QByteArray>;

struct ReadNotes {
    // The file went on past what the reader takes: more than 1000 rows, or
    // a row longer than any button file line (1 MiB, line end not found).
    bool truncated = false;
};

// Reads the button file at path into rows and returns the row count: at most
// 1000 rows, the rest of the file is not read. A failed open or read asks
// Retry or Cancel; Cancel returns 0 and leaves rows untouched. An empty file
// also reads as 0 rows. Rows wider than any drawable row are kept only as far
// as needed to tell that they are too wide.
int ReadButtonFile(const QString& path, ButtonFileRows& rows, MessageBoxes& boxes,
                   ReadNotes* notes = nullptr);

// The same reader for an open device, read from where it stands (an image
// codec is handed one): no questions asked. Returns the row count; 0 for an
// empty device, and 0 with *error set when reading failed.
int ReadButtonFile(QIODevice& device, ButtonFileRows& rows, QString* error,
                   ReadNotes* notes = nullptr);

// Writes one button file line: the row number as five zero-padded digits
// (more when it needs them), ":", the pixel characters and CR LF.
void WriteButtonLine(SequentialOutput& out, int rowNumber, const char* pixels, qsizetype count);

}  // namespace tavrel
