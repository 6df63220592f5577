/* Every file of the readers' table through gdk-pixbuf with the build's
 * loader, by name and fed to a loader in chunks of 1 to 7 bytes: the greys
 * pixel for pixel, or the error text. Then what the loader writes. */
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdio.h>
#include <string.h>

#include "tests/desktop/read_cases.h"

static int failures = 0;

static void expect(int ok, const char* why, const char* what) {
    if (!ok) {
        fprintf(stderr, "FAILED %s: %s\n", why, what);
        ++failures;
    }
}

static void check(const struct tavrel_read_case* c, GdkPixbuf* pixbuf, const GError* error) {
    static const int greys[] = {255, 192, 128, 0}; /* "0" to "3" */
    if (c->error != NULL || pixbuf == NULL) {
        expect(pixbuf == NULL && error && c->error && strstr(error->message, c->error), c->why,
               error ? error->message : "a picture");
        return;
    }
    if (gdk_pixbuf_get_width(pixbuf) != c->width || gdk_pixbuf_get_height(pixbuf) != c->height ||
        gdk_pixbuf_get_n_channels(pixbuf) != 3 || gdk_pixbuf_get_has_alpha(pixbuf)) {
        expect(0, c->why, "size or layout");
        return;
    }
    const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int i = 0; i < c->width * c->height; ++i) {
        const char level =
            c->rows ? c->rows[i / c->width * (c->width + 1) + i % c->width] : c->every;
        const guint8* p =
            pixels + i / c->width * gdk_pixbuf_get_rowstride(pixbuf) + i % c->width * 3;
        const int grey = greys[level - '0'];
        if (p[0] != grey || p[1] != grey || p[2] != grey) {
            expect(0, c->why, "pixels");
            return;
        }
    }
}

int main(void) {
    gchar* dir = g_dir_make_tmp("tavrel-pixbuf-XXXXXX", NULL);
    gchar* path = g_build_filename(dir, "x.btn", NULL);
    for (size_t k = 0; k < G_N_ELEMENTS(tavrel_read_cases); ++k) {
        const struct tavrel_read_case* c = &tavrel_read_cases[k];
        GString* text = g_string_new(c->head);
        for (long i = 0; i < c->repeat; ++i) {
            g_string_append(text, c->unit);
        }
        GError* error = NULL;
        g_file_set_contents(path, text->str, (gssize)text->len, NULL);
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path, &error);
        if (text->len > 0) { /* gdk-pixbuf refuses an empty file itself */
            check(c, pixbuf, error);
        }
        g_clear_object(&pixbuf);
        g_clear_error(&error);

        GdkPixbufLoader* loader =
            gdk_pixbuf_loader_new_with_mime_type("image/x-tavrel-button", NULL);
        gboolean ok = loader != NULL;
        for (gsize at = 0, n = 1; ok && at < text->len; at += n, n = n % 7 + 1) {
            ok = gdk_pixbuf_loader_write(loader, (const guchar*)text->str + at,
                                         MIN(n, text->len - at), &error);
        }
        ok = loader && gdk_pixbuf_loader_close(loader, ok ? &error : NULL) && ok;
        check(c, ok ? gdk_pixbuf_loader_get_pixbuf(loader) : NULL, error);
        g_clear_object(&loader);
        g_clear_error(&error);
        g_string_free(text, TRUE);
    }

    /* Each pixel by its red value, transparency over white, nothing cropped. */
    static const guint8 rgba[] = {255, 255, 255, 255, 224, 0, 0,   255, 223, 255, 255, 255,
                                  161, 0,   0,   255, 160, 0, 0,   255, 97,  0,   0,   255,
                                  96,  255, 255, 255, 0,   0, 255, 255, 0,   0,   0,   0,
                                  0,   0,   0,   128, 0,   0, 0,   40,  0,   0,   0,   255};
    GdkPixbuf* picture =
        gdk_pixbuf_new_from_data(rgba, GDK_COLORSPACE_RGB, TRUE, 8, 6, 2, 24, NULL, NULL);
    gchar* written = NULL;
    expect(gdk_pixbuf_save(picture, path, "btn", NULL, NULL) &&
               g_file_get_contents(path, &written, NULL, NULL) &&
               strcmp(written, "00000:001122\r\n00001:330213\r\n") == 0,
           "levels", written ? written : "nothing written");
    const int refused[][2] = {{32765, 1}, {1, 100001}}; /* read back, they would be refused */
    for (int i = 0; i < 2; ++i) {
        GdkPixbuf* large =
            gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, refused[i][0], refused[i][1]);
        gchar* text = NULL;
        gsize length = 0;
        expect(!gdk_pixbuf_save_to_buffer(large, &text, &length, "btn", NULL, NULL), "too large",
               "written");
        g_object_unref(large);
    }
    g_object_unref(picture);
    remove(path);
    remove(dir);
    g_free(written);
    g_free(path);
    g_free(dir);
    return failures != 0;
}
