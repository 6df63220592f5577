#include "conversion/button_file.h"

#include <QFile>

#include "button_format/button_format.h"
#include "conversion/messages.h"
#include "files/files.h"

namespace tavrel {

namespace {

// Keeps each row the format's reader finds as the window holds it.
class KeepRows : public btn::RowSink {
  public:
    explicit KeepRows(ButtonFileRows& rows) : rows_(rows) {}
    bool Row(std::string_view pixels) override {
        rows_.append(QByteArray(pixels.data(), static_cast<qsizetype>(pixels.size())));
        return true;
    }

  private:
    ButtonFileRows& rows_;
};

// Feeds what the device holds from where it stands to the format's reader,
// which keeps at most 1000 rows; false with *error when reading fails.
bool ReadRows(QIODevice& device, ButtonFileRows& read, bool& truncated, QString* error) {
    KeepRows keep(read);
    btn::Reader reader(btn::Limits{}, &keep);
    if (!btn::FeedAll(reader, [&device](char* buffer, std::size_t size) {
            const qint64 n = device.read(buffer, static_cast<qint64>(size));
            // A finished process's output, say, ends in -1 rather than 0.
            return n < 0 && device.isSequential() && device.atEnd() ? 0 : n;
        })) {
        *error = device.errorString();
        return false;
    }
    if (reader.OutOfMemory()) {
        *error = QStringLiteral("not enough memory");
        return false;
    }
    truncated = reader.Truncated();
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
        QFile file;
        return OpenRegularFile(path, file, error) && ReadRows(file, read, truncated, error);
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
    ButtonFileRows read;
    bool truncated = false;
    if (!ReadRows(device, read, truncated, error)) {
        return 0;
    }
    if (notes != nullptr) {
        notes->truncated = truncated;
    }
    rows = std::move(read);
    return static_cast<int>(rows.size());
}

void WriteButtonLine(SequentialOutput& out, int rowNumber, const char* pixels, qsizetype count) {
    char prefix[24];
    out.Print(prefix, static_cast<qsizetype>(btn::RowPrefix(rowNumber, prefix)));
    out.PrintLine(pixels, count);
}

}  // namespace tavrel
