#include "tests/fuzz/fuzz_bodies.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStringList>
#include <QTemporaryDir>

#include "cli/options.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "platform/message_boxes.h"

namespace tavrel::fuzz {

namespace {

// Answers every question with Cancel, so nothing ever waits or retries.
class SilentBoxes : public MessageBoxes {
  public:
    Answer RetryCancel(const QString&, const QString&) override { return Answer::Cancel; }
    void OkOnly(const QString&, const QString&) override {}
};

const QString& Folder() {
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

QString Put(const char* name, const std::uint8_t* data, std::size_t size) {
    const QString path = Folder() + "/" + QString::fromLatin1(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    return path;
}

}  // namespace

void ButtonFile(const std::uint8_t* data, std::size_t size) {
    const QString path = Put("in.BTN", data, size);
    SilentBoxes boxes;
    PictureSurface picButtons(2, false), picWorking(2, true), picOut(2, true);
    picButtons.Move(5280, 3360, 3012, 492);
    ButtonSize size16;
    if (DrawButtonFile(path, picButtons, boxes, size16) == DrawResult::Drawn) {
        ConvertDrawingToBitmap(picButtons, size16, picWorking, picOut, Folder() + "/out.bmp", boxes,
                               SaveOptions{false});
    }
}

void Picture(const std::uint8_t* data, std::size_t size) {
    static const bool limited = [] {
        // Keep every run quick: the first load sets the program's 1 GiB
        // limit (tested elsewhere), which is then lowered for fuzzing.
        QString ignored;
        LoadPicture(QString(), &ignored);
        QImageReader::setAllocationLimit(128);
        return true;
    }();
    Q_UNUSED(limited);
    const QString path = Put("in.bmp", data, size);
    SilentBoxes boxes;
    PictureSurface picWorking(2, true), picOut(2, true);
    ConvertBitmapToButton(path, Folder() + "/out.Btn", picWorking, picOut, boxes,
                          SaveOptions{false});
}

void CliArguments(const std::uint8_t* data, std::size_t size) {
    QStringList arguments{QStringLiteral("tavrel-convert")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& part : bytes.split('\0')) {
        arguments.append(QString::fromLocal8Bit(part));
    }
    const cli::ParseResult result = cli::ParseArguments(arguments);
    if (result.outcome == cli::ParseOutcome::Run && result.options.jobs < 1) {
        __builtin_trap();  // the runner relies on at least one job
    }
}

}  // namespace tavrel::fuzz
