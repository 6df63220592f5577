// One whole bitmap-to-button conversion, for measuring peak memory with
// /usr/bin/time -v. "generate OUT.bmp" writes the 4000 by 3000 test bitmap.
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

#include "bench/bench_images.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/message_boxes.h"

namespace {

class PrintingBoxes : public tavrel::MessageBoxes {
  public:
    Answer RetryCancel(const QString& text, const QString&) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return Answer::Cancel;
    }
    void OkOnly(const QString& text, const QString&) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "generate") {
        QString error;
        const QImage image = tavrel::bench::ContentImage(4000, 3000, 3000, 2000);
        return tavrel::SavePicture(image, args[2], {}, &error) ? 0 : 1;
    }
    if (args.size() == 4 && args[1] == "convert") {
        tavrel::PictureSurface working(2, true), out(2, true);
        PrintingBoxes boxes;
        return tavrel::ConvertBitmapToButton(args[2], args[3], working, out, boxes) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: convert_once generate OUT.bmp | convert IN.bmp OUT.Btn\n");
    return 2;
}
