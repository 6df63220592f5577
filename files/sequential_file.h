#pragma once

#include <QByteArray>

namespace tavrel {

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
