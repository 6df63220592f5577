#include "tests/fuzz/fuzz_bodies.h"

#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>

#include "cli/options.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "pixbuf_loader/button_loader.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel::fuzz {

namespace {

// The input written to a file in a folder of the run's own.
QString Put(const char* name, const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    testing::WriteAll(dir.filePath(name), QByteArray(reinterpret_cast<const char*>(data), size));
    return dir.filePath(name);
}

}  // namespace

void PixbufLoader(const std::uint8_t* data, std::size_t size) {
    GdkPixbufModule module{};
    fill_vtable(&module);
    GError* error = nullptr;
    gpointer context = module.begin_load(nullptr, nullptr, nullptr, nullptr, &error);
    bool ok = true;
    for (std::size_t at = 0, n = 0; ok && at < size; at += n) {
        n = std::min<std::size_t>(size - at, 1 + (data[at] * 37u + at) % 256);
        ok = module.load_increment(context, data + at, static_cast<guint>(n), &error);
    }
    ok = module.stop_load(context, ok ? &error : nullptr) && ok;
    if (ok != (error == nullptr) ||
        (error != nullptr && !g_utf8_validate(error->message, -1, nullptr))) {
        __builtin_trap();  // a refusal must carry a reason a program can show
    }
    g_clear_error(&error);
}

void ButtonFile(const std::uint8_t* data, std::size_t size) {
    const QString path = Put("in.BTN", data, size);
    testing::ScriptedMessageBoxes boxes;  // answers Cancel
    PictureSurface picButtons(2, false), picWorking(2, true), picOut(2, true);
    picButtons.Move(5280, 3360, 3012, 492);
    ButtonSize size16;
    if (DrawButtonFile(path, picButtons, boxes, size16) == DrawResult::Drawn) {
        ConvertDrawingToBitmap(picButtons, size16, picWorking, picOut,
                               QFileInfo(path).path() + "/out.bmp", boxes, SaveOptions{false});
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
    testing::ScriptedMessageBoxes boxes;  // answers Cancel
    PictureSurface picWorking(2, true), picOut(2, true);
    ConvertBitmapToButton(path, QFileInfo(path).path() + "/out.Btn", picWorking, picOut, boxes,
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
