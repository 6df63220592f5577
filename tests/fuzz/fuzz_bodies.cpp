#include "tests/fuzz/fuzz_bodies.h"

#include <QByteArray>
#include <QFileInfo>
#include <QImageReader>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <string>

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

// The picture the loader reads from bytes fed in chunks of 1 to 256 bytes,
// each chunk's first byte deciding its size; null when it refuses them.
GdkPixbuf* LoadInChunks(const GdkPixbufModule& module, const std::uint8_t* data, std::size_t size) {
    GdkPixbuf* pixbuf = nullptr;
    const auto prepared = [](GdkPixbuf* p, GdkPixbufAnimation*, gpointer user) {
        *static_cast<GdkPixbuf**>(user) = static_cast<GdkPixbuf*>(g_object_ref(p));
    };
    GError* error = nullptr;
    gpointer context = module.begin_load(nullptr, prepared, nullptr, &pixbuf, &error);
    bool ok = true;
    for (std::size_t at = 0, n = 0; ok && at < size; at += n) {
        n = std::min<std::size_t>(size - at, 1 + (data[at] * 37u + at) % 256);
        ok = module.load_increment(context, data + at, static_cast<guint>(n), &error);
    }
    ok = module.stop_load(context, ok ? &error : nullptr) && ok;
    if (ok != (error == nullptr) || ok != (pixbuf != nullptr) ||
        (error != nullptr && !g_utf8_validate(error->message, -1, nullptr))) {
        __builtin_trap();  // a refusal without a reason to show, or a picture beside one
    }
    g_clear_error(&error);
    return pixbuf;
}

}  // namespace

void PixbufLoader(const std::uint8_t* data, std::size_t size) {
    static const GdkPixbufModule module = [] {
        GdkPixbufModule m{};
        fill_vtable(&m);
        return m;
    }();
    GdkPixbuf* pixbuf = LoadInChunks(module, data, size);
    if (pixbuf == nullptr) {
        return;
    }
    const int rowBytes = 3 * gdk_pixbuf_get_width(pixbuf),
              stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int i = 0; i < rowBytes * gdk_pixbuf_get_height(pixbuf); ++i) {
        const guint8 grey = pixels[i / rowBytes * stride + i % rowBytes];
        if ((grey != 255 && grey != 192 && grey != 128 && grey != 0) ||
            grey != pixels[i / rowBytes * stride + i % rowBytes / 3 * 3]) {
            __builtin_trap();
        }
    }
    std::string text;
    const auto append = [](const gchar* bytes, gsize n, GError**, gpointer user) -> gboolean {
        static_cast<std::string*>(user)->append(bytes, n);
        return TRUE;
    };
    GdkPixbuf* again =
        module.save_to_callback(append, &text, pixbuf, nullptr, nullptr, nullptr)
            ? LoadInChunks(module, reinterpret_cast<const guint8*>(text.data()), text.size())
            : nullptr;
    if (again == nullptr) {
        __builtin_trap();  // what the loader writes of it, it does not read
    }
    for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
        if (std::memcmp(pixels + y * stride, gdk_pixbuf_read_pixels(again) + y * stride,
                        rowBytes) != 0) {
            __builtin_trap();
        }
    }
    g_object_unref(again);
    g_object_unref(pixbuf);
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
