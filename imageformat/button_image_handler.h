#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QString>
#include <QVariant>

#include "conversion/button_file.h"

namespace tavrel {

// Reads and writes button files for Qt's image classes, with the window's
// reader and rules: the image is the file's columns by rows in the four
// greys, without the white row and column the window's drawing adds.
class ButtonImageHandler : public QImageIOHandler {
  public:
    bool canRead() const override;
    bool read(QImage* image) override;
    bool write(const QImage& image) override;
    QVariant option(ImageOption option) const override;
    bool supportsOption(ImageOption option) const override;

    // Why the last read or write failed, in the window's words; after a read
    // that stopped at row 1000, the window's note that only those are read.
    QString errorString() const { return error_; }

    // True when the device's first line has a button file's shape: five
    // digits, ":", then pixel characters. The device is only peeked at.
    static bool canRead(QIODevice* device);

  private:
    // Reads the rows once; the Size option and read() share them.
    bool loadRows() const;

    mutable bool loaded_ = false;
    mutable bool readable_ = false;
    bool readTried_ = false;
    mutable ButtonFileRows rows_;
    mutable QString error_;
};

}  // namespace tavrel
