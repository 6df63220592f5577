/* Every file of the readers' table through gdk-pixbuf with the build's
 * loader, by name and fed to a loader in chunks of 1 to 7 bytes: the greys
 * pixel for pixel, or the error text. Then what the loader writes. */
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "tests/desktop/read_cases.h"

/* 0 when the picture, or the error, is what the case wants. */
static int differs(const struct tavrel_read_case* c, GdkPixbuf* p, const GError* error) {
    static const int greys[] = {255, 192, 128, 0}; /* "0" to "3" */
    int bad = p == NULL || gdk_pixbuf_get_width(p) != c->width ||
              gdk_pixbuf_get_height(p) != c->height || gdk_pixbuf_get_n_channels(p) != 3;
    for (int i = 0; !bad && i < 3 * c->width * c->height; ++i) {
        const int x = i / 3 % c->width, y = i / 3 / c->width;
        const char level = c->rows ? c->rows[y * (c->width + 1) + x] : c->every;
        bad = gdk_pixbuf_read_pixels(p)[y * gdk_pixbuf_get_rowstride(p) + 3 * x + i % 3] !=
              greys[level - '0'];
    }
    if (c->error != NULL) {
        bad = p || !error || !strstr(error->message, c->error);
    }
    if (bad) {
        fprintf(stderr, "FAILED %s: %s\n", c->why, error ? error->message : "");
    }
    return bad;
}

int main(void) {
    int failures = 0;
    gchar *path = NULL, *written = NULL;
    close(g_file_open_tmp("tavrel-XXXXXX.btn", &path, NULL));
    for (size_t k = 0; k < G_N_ELEMENTS(tavrel_read_cases); ++k) {
        const struct tavrel_read_case* c = &tavrel_read_cases[k];
        GString* text = g_string_new(c->head);
        for (long i = 0; i < c->repeat; ++i) {
            g_string_append(text, c->unit);
        }
        GError* error = NULL;
        g_file_set_contents(path, text->str, (gssize)text->len, NULL);
        GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path, &error);
        /* gdk-pixbuf refuses an empty file before any loader sees it. */
        failures += text->len > 0 && differs(c, pixbuf, error);
        g_clear_object(&pixbuf);
        g_clear_error(&error);

        GdkPixbufLoader* loader =
            gdk_pixbuf_loader_new_with_mime_type("image/x-tavrel-button", NULL);
        gboolean ok = TRUE;
        for (gsize at = 0, n = 1; ok && at < text->len; at += n, n = n % 7 + 1) {
            ok = gdk_pixbuf_loader_write(loader, (const guchar*)text->str + at,
                                         MIN(n, text->len - at), &error);
        }
        ok = gdk_pixbuf_loader_close(loader, ok ? &error : NULL) && ok;
        failures += differs(c, ok ? gdk_pixbuf_loader_get_pixbuf(loader) : NULL, error);
        g_clear_object(&loader);
        g_clear_error(&error);
        g_string_free(text, TRUE);
    }

    /* Each pixel by its red value, transparency over white; nothing that
     * would be refused when read back. */
    static const guint8 rgba[] = {0, 255, 255, 255, 192, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 128};
    GdkPixbuf* picture =
        gdk_pixbuf_new_from_data(rgba, GDK_COLORSPACE_RGB, TRUE, 8, 2, 2, 8, NULL, NULL);
    failures += !gdk_pixbuf_save(picture, path, "btn", NULL, NULL) ||
                !g_file_get_contents(path, &written, NULL, NULL) ||
                strcmp(written, "00000:31\r\n00001:02\r\n") != 0;
    /* The largest that reads back is written; one more column or row is not. */
    const int sizes[][3] = {
        {32764, 1, TRUE}, {1, 100000, TRUE}, {32765, 1, FALSE}, {1, 100001, FALSE}};
    for (int i = 0; i < 4; ++i) {
        GdkPixbuf* large = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, sizes[i][0], sizes[i][1]);
        gdk_pixbuf_fill(large, 0xffffffff);
        failures += gdk_pixbuf_save(large, path, "btn", NULL, NULL) != sizes[i][2];
        g_object_unref(large);
    }
    fprintf(stderr, "%d checks failed\n", failures);
    g_object_unref(picture);
    remove(path);
    g_free(written);
    g_free(path);
    return failures != 0;
}
