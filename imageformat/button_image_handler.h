#pragma once

#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>
#include <QVariant>

namespace tavrel {

// Reads and writes button files for Qt's image classes, with the format
// library's reader and level table: the image is the file's columns by rows
// in the four greys, without the white row and column the window's drawing
// adds. It uses only what Qt 5 and Qt 6 share, so one source builds the
// plugin for both.
//
// A file is read whole, up to the most rows a button file holds, or refused
// with its reason: nothing is cut silently. The picture stays within the
// reader's allocation limit (Qt 5, which has none, gets Qt 6's default).
class ButtonImageHandler : public QImageIOHandler {
  public:
    bool canRead() const override;
    bool read(QImage* image) override;
    bool write(const QImage& image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;
    // One picture a file, whether read yet or not.
    int imageCount() const override { return 1; }

    // Why the last read or write failed, in the window's words.
    QString errorString() const { return error_; }

    // True when the device's first line has a button file's shape: five
    // digits, ":", then pixel characters. The device is only peeked at.
    static bool canRead(QIODevice* device);

  private:
    // Reads the picture once; the Size option and read() share it.
    bool load() const;
    bool loadFrom(QIODevice& device) const;
    bool writeTo(QIODevice& device, const QImage& image);
    // Sets the message for description, action and device name before it.
    void fail(const char* action, const QString& description) const;

    enum class State { Unread, Loaded, Failed };
    mutable State state_ = State::Unread;
    bool delivered_ = false;
    mutable QImage image_;
    mutable QSize size_;
    mutable QString error_;
};

}  // namespace tavrel
