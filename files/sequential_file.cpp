#include "files/sequential_file.h"

#include "files/files.h"

namespace tavrel {

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

bool SequentialInput::Open(const QString& path, QString* error) {
    Close();
    if (!OpenRegularFile(path, file_, error)) {
        return false;
    }
    device_ = &file_;
    return true;
}

void SequentialInput::Open(QIODevice& device) {
    Close();
    device_ = &device;
}

void SequentialInput::Close() {
    if (file_.isOpen()) {
        file_.close();
    }
    device_ = nullptr;
    buffer_.clear();
    pos_ = 0;
    started_ = false;
    done_ = false;
    afterComma_ = false;
    failed_ = false;
    limit_ = -1;
    taken_ = 0;
    error_.clear();
}

bool SequentialInput::fill() {
    if (pos_ < buffer_.size()) {
        return true;
    }
    if (failed_ || OverLimit() || device_ == nullptr) {
        return false;
    }
    // One byte past the limit tells an input that ends there from a longer one.
    const qint64 want = limit_ < 0 ? kChunk : std::min(kChunk, limit_ + 1 - taken_);
    buffer_.resize(want);
    qint64 n = device_->read(buffer_.data(), want);
    if (n < 0) {
        failed_ = true;
        error_ = device_->errorString();
        buffer_.clear();
        pos_ = 0;
        return false;
    }
    taken_ += n;
    if (OverLimit()) {
        --n;  // the byte past the limit only tells that there is more
    }
    buffer_.resize(n);
    pos_ = 0;
    return n > 0;
}

void SequentialInput::SkipPrefix(const QByteArray& prefix) {
    // The first chunk is far longer than any prefix worth skipping.
    if (!started_ && fill() && buffer_.startsWith(prefix)) {
        pos_ = prefix.size();
    }
}

bool SequentialInput::AtEnd() {
    if (done_ || failed_) {
        return true;
    }
    if (afterComma_) {
        return false;  // the text after a comma is a record, even when empty
    }
    return !fill();
}

bool SequentialInput::ReadRecord(QByteArray* record, qsizetype maxKeep, bool lastIfLong) {
    record->clear();
    if (done_ || failed_) {
        return false;
    }
    if (!started_) {
        started_ = true;
        if (!fill()) {
            done_ = true;  // an empty file holds no record
            return false;
        }
    }
    afterComma_ = false;
    // Blanks before the record.
    while (fill() && buffer_[pos_] == ' ') {
        ++pos_;
    }
    for (;;) {
        if (!fill()) {
            if (failed_) {
                return false;
            }
            done_ = true;  // a last record without a line end
            // Cut short by the limit, a record counts only when what it
            // keeps is whole.
            return !OverLimit() || (maxKeep >= 0 && record->size() >= maxKeep);
        }
        const char* begin = buffer_.constData() + pos_;
        const char* end = buffer_.constData() + buffer_.size();
        const char* p = begin;
        while (p != end && *p != '\r' && *p != '\n' && *p != ',') {
            ++p;
        }
        const qsizetype take = p - begin;
        if (maxKeep < 0) {
            record->append(begin, take);
        } else if (record->size() < maxKeep) {
            record->append(begin, std::min(take, maxKeep - record->size()));
        }
        if (lastIfLong && maxKeep >= 0 && record->size() >= maxKeep) {
            done_ = true;
            return true;
        }
        pos_ += take;
        if (p == end) {
            continue;
        }
        const char delimiter = *p;
        ++pos_;
        if (delimiter == ',') {
            afterComma_ = true;
            return true;
        }
        if (delimiter == '\r' && fill() && buffer_[pos_] == '\n') {
            ++pos_;
        }
        if (failed_) {
            return false;
        }
        if (!fill()) {
            if (failed_) {
                return false;
            }
            done_ = true;  // the line end was the file's last
        }
        return true;
    }
}

}  // namespace tavrel
