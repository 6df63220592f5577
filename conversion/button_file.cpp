#include "conversion/button_file.h"

#include "conversion/messages.h"
#include "files/sequential_file.h"

namespace tavrel {

namespace {

// The row number and colon that the reader drops.
constexpr qsizetype kPrefixLength = 6;
// One character more than the widest drawable row is enough to refuse a row.
constexpr qsizetype kKeptRecord = kPrefixLength + kMaxButtonColumns + 1;
// More than the largest file the reader takes whole (1000 of those records,
// each with CR LF, after a byte-order mark): an endless or huge later row
// cannot hold the reader either.
constexpr qint64 kMaxReadBytes = qint64(kMaxButtonRows) * (kKeptRecord + 2) + 3;

// The records of an opened input as rows, at most 1000 of them.
bool ReadRecords(SequentialInput& input, ButtonFileRows& read, bool& truncated, QString* error) {
    // Editors that save as UTF-8 may put a byte-order mark first; it is not
    // part of the first row number.
    input.LimitTo(kMaxReadBytes);
    input.SkipPrefix(QByteArrayLiteral("\xEF\xBB\xBF"));
    QByteArray record;
    // A first row too wide to draw refuses the file whatever follows, so
    // reading ends there: an endless first line (a device) cannot hold it.
    while (read.size() < kMaxButtonRows &&
           input.ReadRecord(&record, kKeptRecord, /*lastIfLong=*/read.isEmpty())) {
        read.append(record.size() > kPrefixLength ? record.mid(kPrefixLength) : QByteArray());
    }
    if (!input.Failed() && read.size() == kMaxButtonRows) {
        truncated = !input.AtEnd();
    }
    truncated = truncated || input.OverLimit();
    if (input.Failed()) {
        *error = input.Error();
        return false;
    }
    return true;
}

}  // namespace

int ReadButtonFile(const QString& path, ButtonFileRows& rows, MessageBoxes& boxes,
                   ReadNotes* notes) {
    ButtonFileRows read;
    bool truncated = false;
    const bool done = RetryUntilDone(boxes, kOpenAction, path, kOpenTitle, [&](QString* error) {
        read.clear();
        truncated = false;
        SequentialInput input;
        if (!input.Open(path, error)) {
            return false;
        }
        return ReadRecords(input, read, truncated, error);
    });
    if (!done) {
        return 0;
    }
    if (notes != nullptr) {
        notes->truncated = truncated;
    }
    if (read.isEmpty()) {
        return 0;
    }
    rows = std::move(read);
    return static_cast<int>(rows.size());
}

int ReadButtonFile(QIODevice& device, ButtonFileRows& rows, QString* error, ReadNotes* notes) {
    SequentialInput input;
    input.Open(device);
    ButtonFileRows read;
    bool truncated = false;
    if (!ReadRecords(input, read, truncated, error)) {
        return 0;
    }
    if (notes != nullptr) {
        notes->truncated = truncated;
    }
    rows = std::move(read);
    return static_cast<int>(rows.size());
}

void WriteButtonLine(SequentialOutput& out, int rowNumber, const char* pixels, qsizetype count) {
    char prefix[16];
    int n = 0;
    unsigned value = static_cast<unsigned>(rowNumber);
    char digits[12];
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    int length = 0;
    for (int pad = n; pad < 5; ++pad) {
        prefix[length++] = '0';
    }
    while (n > 0) {
        prefix[length++] = digits[--n];
    }
    prefix[length++] = ':';
    out.Print(prefix, length);
    out.PrintLine(pixels, count);
}

}  // namespace tavrel
