/* The button file format for C programs (the gdk-pixbuf loader): the same
 * reader and level table as button_format.h, behind plain functions. No
 * function here aborts or throws; allocations that fail are reported. */
#ifndef TAVREL_BTN_H
#define TAVREL_BTN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TAVREL_BTN_MAX_COLUMNS 32764L
#define TAVREL_BTN_WINDOW_ROWS 1000L
#define TAVREL_BTN_MAX_FILE_ROWS 100000L

typedef struct tavrel_btn_reader tavrel_btn_reader;

/* A reader keeping at most max_rows rows and refusing a first row wider than
 * max_columns; max_bytes bounds all the bytes it takes (0: no bound). NULL
 * when there is no memory for it. */
tavrel_btn_reader* tavrel_btn_reader_new(long max_rows, long max_columns, size_t max_bytes);
void tavrel_btn_reader_free(tavrel_btn_reader* reader);

/* Takes the next bytes of the file. 1: more are welcome; 0: the reader
 * wants no more (the rest of the file is not needed). */
int tavrel_btn_reader_feed(tavrel_btn_reader* reader, const void* data, size_t size);
/* The file ended. */
void tavrel_btn_reader_finish(tavrel_btn_reader* reader);

/* Rows read so far, and the pixel characters of row 1 (the width). */
long tavrel_btn_reader_rows(const tavrel_btn_reader* reader);
long tavrel_btn_reader_width(const tavrel_btn_reader* reader);
/* Row index (from 0): its pixel characters and their count. */
const char* tavrel_btn_reader_row(const tavrel_btn_reader* reader, long index, size_t* length);
/* Non-zero when the file went on past the limits (rows, bytes, an endless
 * row), when a failed allocation ended the read, and when row 1 is wider
 * than max_columns. */
int tavrel_btn_reader_truncated(const tavrel_btn_reader* reader);
int tavrel_btn_reader_out_of_memory(const tavrel_btn_reader* reader);
int tavrel_btn_reader_too_wide(const tavrel_btn_reader* reader);

/* Greys (255, 192, 128, 0) of the first width characters of a row into out.
 * Returns width when all are "0" to "3"; otherwise the column (from 0) of
 * the first that is not, with *character the byte, or -1 for a short row. */
size_t tavrel_btn_row_greys(const char* row, size_t length, size_t width, unsigned char* out,
                            int* character);
/* "Unknown button value : ( 12, 3)x" into out (at most size bytes, NUL
 * included); column and row from 1; character -1 for none. */
void tavrel_btn_unknown_value_text(char* out, size_t size, long column, long row, int character);

/* The character ("0" to "3") of a pixel by its red value. */
char tavrel_btn_level(int red);
/* A channel of a straight-alpha pixel laid over white, rounded. */
int tavrel_btn_over_white(int channel, int alpha);
/* The start of line rowNumber ("00012:") into out (24 bytes); its length. */
size_t tavrel_btn_row_prefix(long row_number, char* out);
/* Non-zero when the first bytes of a file have a button file's shape. */
int tavrel_btn_looks_like(const void* head, size_t size);

#ifdef __cplusplus
}
#endif

#endif
