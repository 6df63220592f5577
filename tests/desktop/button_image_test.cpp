#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>

#include "imageformat/button_image_handler.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Levels;

// Without a name, the text's first line decides.
TEST(ButtonImagePlugin, RecognisesButtonFilesByContent) {
    const std::pair<QByteArray, bool> cases[] = {
        {"00000:0123\r\n", true}, {"\357\273\27712345:3,", true}, {"00000:0124\r\n", false},
        {"0000:0123\r\n", false}, {"00000;0123\r\n", false},      {"0000a:0123\r\n", false},
        {"  00000:3\r", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        QBuffer buffer;
        buffer.setData(c.first);
        EXPECT_EQ(QImageReader(&buffer).format() == "btn", c.second);
    }
}

// Qt counts 4 bytes a pixel against its limit: 1024 by 1024 fill 4 MB.
TEST(ButtonImagePlugin, KeepsTheAllocationLimit) {
    const int before = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(4);
    for (const int rows : {1024, 1025}) {
        QBuffer buffer;
        buffer.setData(("00000:" + QByteArray(1024, '1') + "\n").repeated(rows));
        buffer.open(QIODevice::ReadOnly);
        ButtonImageHandler handler;
        handler.setDevice(&buffer);
        QImage image;
        EXPECT_EQ(handler.read(&image), rows == 1024);
        EXPECT_EQ(handler.errorString(),
                  rows == 1024
                      ? ""
                      : "Unable to draw file \rError: the picture needs more than 4 MB of memory");
    }
    QImageReader::setAllocationLimit(before);
}

}  // namespace
}  // namespace tavrel
