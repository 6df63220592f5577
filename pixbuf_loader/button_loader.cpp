// The gdk-pixbuf loader for button files, through which GTK programs (Eye of
// GNOME, the file chooser's preview, gThumb) open and save them. C++ over the
// format library: its reader hands each row to a sink that puts it straight
// into the picture's pixels, so the text is never kept. gdk-pixbuf calls the
// entry points from C; none of them lets an exception or abort reach it.
#include "pixbuf_loader/button_loader.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <string>

#include "button_format/button_format.h"
#include "button_format/messages.h"

namespace {

namespace btn = tavrel::btn;

// The pixels of one picture stay within what Qt's image reader allows by
// default: a few thousand rows of the widest button, any file's worth of
// narrow ones.
constexpr std::size_t kMaxPixelBytes = std::size_t{256} << 20;

const char* const kNoMemory = "Not enough memory for the picture";

// One file being loaded: the reader, and the pixels of the rows read so far
// in a block that grows as they come, since the height is known only at the
// end.
struct Load final : btn::RowSink {
    Load(GdkPixbufModuleSizeFunc size, GdkPixbufModulePreparedFunc prepared,
         GdkPixbufModuleUpdatedFunc updated, gpointer user)
        : sizeFunc(size), preparedFunc(prepared), updatedFunc(updated), userData(user) {}
    ~Load() override {
        g_free(pixels);
        if (error != nullptr) {
            g_error_free(error);
        }
    }

    bool Row(std::string_view text) override;
    bool Fail(GdkPixbufError code, const char* message);
    gboolean Report(GError** out);
    gboolean Finish(GError** out);

    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    btn::Reader reader{btn::Limits{btn::kMaxFileRows, btn::kMaxColumns}, this};
    guchar* pixels = nullptr;
    std::size_t width = 0;
    std::size_t rowstride = 0;
    std::size_t rows = 0;
    std::size_t capacity = 0;  // rows the block has room for
    GError* error = nullptr;   // why the read failed, until reported
    bool failed = false;       // reported: stop_load only frees
};

bool Load::Fail(GdkPixbufError code, const char* message) {
    if (error == nullptr) {
        error = g_error_new_literal(GDK_PIXBUF_ERROR, code, message);
    }
    return false;
}

bool Load::Row(std::string_view text) {
    if (rows == 0) {
        if (text.empty()) {
            return Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, TAVREL_BTN_NO_PIXELS_TEXT);
        }
        if (text.size() > static_cast<std::size_t>(btn::kMaxColumns)) {
            return Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, TAVREL_BTN_TOO_WIDE_TEXT);
        }
        width = text.size();
        rowstride = (3 * width + 3) & ~std::size_t{3};  // gdk-pixbuf's own alignment
    }
    if (rows == capacity) {
        const std::size_t most = kMaxPixelBytes / rowstride;
        if (rows >= most) {
            return Fail(GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                        "The picture needs more than 256 MB of memory");
        }
        const std::size_t grown = std::min(most, std::max<std::size_t>(64, 2 * capacity));
        auto* block = static_cast<guchar*>(g_try_realloc(pixels, grown * rowstride));
        if (block == nullptr) {
            return Fail(GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, kNoMemory);
        }
        pixels = block;
        capacity = grown;
    }
    guchar* line = pixels + rows * rowstride;
    int character = 0;
    const std::size_t good = btn::RowGreys(text, width, line, &character);
    ++rows;
    if (good != width) {
        // The byte found as a Latin-1 character, as the Qt readers show it:
        // a GError holds UTF-8.
        std::string message =
            btn::UnknownValueText(static_cast<long>(good) + 1, static_cast<long>(rows), -1);
        char found[8] = {};
        if (character >= 0) {
            g_unichar_to_utf8(static_cast<gunichar>(character), found);
        }
        message += found;
        return Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, message.c_str());
    }
    // One grey a pixel becomes three equal channels, from the right so that
    // no grey is overwritten before it is spread.
    for (std::size_t c = width; c-- > 0;) {
        line[3 * c] = line[3 * c + 1] = line[3 * c + 2] = line[c];
    }
    return true;
}

// Why the read ended early, handed to the caller; always FALSE.
gboolean Load::Report(GError** out) {
    if (error == nullptr) {
        if (reader.OutOfMemory()) {
            Fail(GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, kNoMemory);
        } else if (reader.RowCount() == btn::kMaxFileRows) {
            Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, TAVREL_BTN_TOO_TALL_TEXT);
        } else {
            // An endless row: the reader takes no more than this of one line.
            Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, TAVREL_BTN_LONG_LINE_TEXT);
        }
    }
    g_propagate_error(out, error);
    error = nullptr;
    failed = true;
    return FALSE;
}

void FreePixels(guchar* pixels, gpointer) {
    g_free(pixels);
}

// The file ended: the picture, whole, to the caller.
gboolean Load::Finish(GError** out) {
    if (failed) {
        return FALSE;
    }
    reader.Finish();
    if (error != nullptr || reader.Truncated() || reader.OutOfMemory()) {
        return Report(out);
    }
    if (rows == 0) {
        Fail(GDK_PIXBUF_ERROR_CORRUPT_IMAGE, TAVREL_BTN_NO_ROWS_TEXT);
        return Report(out);
    }
    const int w = static_cast<int>(width), h = static_cast<int>(rows);
    if (sizeFunc != nullptr) {
        int askedWidth = w, askedHeight = h;
        sizeFunc(&askedWidth, &askedHeight, userData);
        if (askedWidth <= 0 || askedHeight <= 0) {
            return TRUE;  // the caller wanted the size alone
        }
    }
    if (auto* fitted = static_cast<guchar*>(g_try_realloc(pixels, rows * rowstride))) {
        pixels = fitted;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, FALSE, 8, w, h,
                                                 static_cast<int>(rowstride), FreePixels, nullptr);
    pixels = nullptr;
    if (preparedFunc != nullptr) {
        preparedFunc(pixbuf, nullptr, userData);
    }
    if (updatedFunc != nullptr) {
        updatedFunc(pixbuf, 0, 0, w, h, userData);
    }
    g_object_unref(pixbuf);
    return TRUE;
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc size, GdkPixbufModulePreparedFunc prepared,
                   GdkPixbufModuleUpdatedFunc updated, gpointer user, GError** error) noexcept {
    auto* load = new (std::nothrow) Load(size, prepared, updated, user);
    if (load == nullptr) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            kNoMemory);
    }
    return load;
}

gboolean LoadIncrement(gpointer context, const guchar* data, guint size, GError** error) noexcept {
    auto* load = static_cast<Load*>(context);
    if (load->failed) {
        return FALSE;
    }
    return load->reader.Feed(reinterpret_cast<const char*>(data), size) ? TRUE
                                                                        : load->Report(error);
}

gboolean StopLoad(gpointer context, GError** error) noexcept {
    const std::unique_ptr<Load> load(static_cast<Load*>(context));
    return load->Finish(error);
}

gboolean Refuse(GError** error, GdkPixbufError code, const char* message) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, code, message);
    return FALSE;
}

// Each pixel by its red value, transparency laid over white, nothing
// cropped; line by line, so only one line is ever held.
gboolean SaveToCallback(GdkPixbufSaveFunc save, gpointer user, GdkPixbuf* pixbuf, gchar**, gchar**,
                        GError** error) noexcept {
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || channels != (alpha ? 4 : 3)) {
        return Refuse(error, GDK_PIXBUF_ERROR_UNKNOWN_TYPE, "only 8-bit RGB pictures are written");
    }
    // A wider or taller picture would be refused when read back.
    if (w > btn::kMaxColumns) {
        return Refuse(error, GDK_PIXBUF_ERROR_FAILED, TAVREL_BTN_TOO_WIDE_TEXT);
    }
    if (h > btn::kMaxFileRows) {
        return Refuse(error, GDK_PIXBUF_ERROR_FAILED, TAVREL_BTN_TOO_TALL_TEXT);
    }
    const std::size_t rowstride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
    const std::unique_ptr<char, decltype(&g_free)> line(
        static_cast<char*>(g_try_malloc(24 + static_cast<std::size_t>(w) + 2)), g_free);
    if (line == nullptr) {
        return Refuse(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, kNoMemory);
    }
    const std::array<char, 256>& levels = btn::Levels();
    for (int y = 0; y < h; ++y) {
        char* out = line.get();
        std::size_t n = btn::RowPrefix(y, out);
        const guint8* p = pixels + static_cast<std::size_t>(y) * rowstride;
        for (int x = 0; x < w; ++x, p += channels) {
            out[n++] = levels[alpha ? btn::OverWhite(p[0], p[3]) : p[0]];
        }
        out[n++] = '\r';
        out[n++] = '\n';
        if (!save(out, n, error, user)) {
            if (error != nullptr && *error == nullptr) {
                Refuse(error, GDK_PIXBUF_ERROR_FAILED, "the picture could not be written");
            }
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

// What gdk-pixbuf-query-loaders writes into the loader cache.
void fill_info(GdkPixbufFormat* info) {
    static GdkPixbufModulePattern signature[] = {{const_cast<char*>("00000:"), nullptr, 100},
                                                 {nullptr, nullptr, 0}};
    static const gchar* mimeTypes[] = {"image/x-tavrel-button", nullptr};
    static const gchar* extensions[] = {"btn", nullptr};
    info->name = const_cast<gchar*>("btn");
    info->signature = signature;
    info->domain = const_cast<gchar*>("tavrel");
    info->description = const_cast<gchar*>("Button image");
    info->mime_types = const_cast<gchar**>(mimeTypes);
    info->extensions = const_cast<gchar**>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_WRITABLE | GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar*>("MIT");
}

// The whole file is read through the incremental entry points: gdk-pixbuf
// feeds them a file it is asked to load.
void fill_vtable(GdkPixbufModule* module) {
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
    module->save_to_callback = SaveToCallback;
}
