/* The files every reader of button files for other programs (the Qt 6 and
 * Qt 5 image plugins, the gdk-pixbuf loader) must read alike, as another
 * program would write them. Plain C, so the C loader's test reads it too.
 *
 * A file is head followed by unit repeated times. What must come out:
 * width by height pixels whose characters are rows ("0123|3210", "0" to "3"
 * for the greys 255, 192, 128, 0), or, where rows is NULL, every pixel
 * every; or, where error is set, no picture and a message holding error. */
#ifndef TAVREL_TESTS_READ_CASES_H
#define TAVREL_TESTS_READ_CASES_H

struct tavrel_read_case {
    const char* why;
    const char* head;
    const char* unit;
    long repeat;
    int width, height;
    const char* rows;
    char every;
    const char* error;
};

static const struct tavrel_read_case tavrel_read_cases[] = {
    {"greys, no border", "00000:0123\r\n00001:3210\r\n", "", 0, 4, 2, "0123|3210", 0, 0},
    {"numbers unread, comma", "99999:01,abcdef23\n00000:32", "", 0, 2, 3, "01|23|32", 0, 0},
    {"mark, long row", "\357\273\27700000:12\r\n00001:301", "", 0, 2, 2, "12|30", 0, 0},
    {"blanks, CR alone", "  00000:12\r00001:21", "", 0, 2, 2, "12|21", 0, 0},
    {"unknown", "00000:01\r\n00001:2x", "", 0, 0, 0, 0, 0, "Unknown button value : ( 2, 2)x"},
    {"short row", "00000:01\r\n00001:2", "", 0, 0, 0, 0, 0, "Unknown button value : ( 2, 2)"},
    {"no pixels", "00000:\r\n00001:1", "", 0, 0, 0, 0, 0, "the first row holds no pixels"},
    {"empty", "", "", 0, 0, 0, 0, 0, "the file holds no rows"},
    {"1001 rows, all read", "", "00000:1\n", 1001, 1, 1001, 0, '1', 0},
    {"100000 rows, all read", "", "00000:2\r\n", 100000, 1, 100000, 0, '2', 0},
    {"100001 rows", "", "00000:2\r\n", 100001, 0, 0, 0, 0, "more than 100000 rows"},
    {"widest", "00000:", "3", 32764, 32764, 1, 0, '3', 0},
    {"too wide", "00000:", "3", 32765, 0, 0, 0, 0, "more than 32764 pixels"},
};

#endif
