#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QString>

namespace tavrel {

// Sequential text input with delimited records, one character per byte.
// A record ends at CR, LF, CR LF or a comma; spaces before a record are
// skipped; quotes are ordinary characters. Every record counts, an empty one
// too (a blank line, the text after a trailing comma). Reading ends after the
// record that ends at the file's last line end, so a final CR LF adds no
// record; a last line without a line end is read like the others.
class SequentialInput {
  public:
    // Opens a regular file; false with a description otherwise.
    bool Open(const QString& path, QString* error);
    // Reads an open device from where it stands instead; it stays the
    // caller's and is not closed here.
    void Open(QIODevice& device);

    // Before the first read: skips prefix when the file starts with it.
    void SkipPrefix(const QByteArray& prefix);
    // Before the first read: takes at most bytes from the input, so that
    // no content, however long, holds the reader. A record the limit cuts
    // short is not read, unless it already holds the maxKeep bytes asked.
    void LimitTo(qint64 bytes) { limit_ = bytes; }
    // True once the input held more than the limit.
    bool OverLimit() const { return limit_ >= 0 && taken_ > limit_; }

    // Reads the next record into record, keeping at most maxKeep of its bytes
    // (the rest is skipped; -1 keeps all). With lastIfLong, a record that
    // reaches maxKeep bytes is the last one read: its rest and what follows
    // stay unread, so an endless one cannot hold the reader. False when no
    // record is left or reading failed (see Failed).
    bool ReadRecord(QByteArray* record, qsizetype maxKeep = -1, bool lastIfLong = false);

    // True once no record is left to read.
    bool AtEnd();
    bool Failed() const { return failed_; }
    QString Error() const { return error_; }
    void Close();

  private:
    // Makes at least one unread byte available; false at end of file or on
    // a read error.
    bool fill();

    QFile file_;
    QIODevice* device_ = nullptr;  // file_ or the caller's device
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool started_ = false;
    bool done_ = false;
    bool afterComma_ = false;
    bool failed_ = false;
    qint64 limit_ = -1;  // none
    qint64 taken_ = 0;   // bytes read from the device
    QString error_;
};

// Sequential text output: lines end in CR LF. The text is collected in memory
// and written in one piece by the caller, so that a failure never leaves half
// a file behind.
class SequentialOutput {
  public:
    void Reserve(qsizetype bytes) { data_.reserve(bytes); }
    void Print(const char* text, qsizetype length) { data_.append(text, length); }
    void PrintLine(const char* text, qsizetype length) {
        data_.append(text, length);
        data_.append("\r\n", 2);
    }
    void PrintLine(const QByteArray& line) { PrintLine(line.constData(), line.size()); }
    const QByteArray& Data() const { return data_; }

  private:
    QByteArray data_;
};

}  // namespace tavrel
