/* Why a reader of button files refuses one: the text each of them shows
 * after "Error: ". Plain C, so the loaders written in C say it alike. The
 * unknown character's message is tavrel_btn_unknown_value_text. */
#ifndef TAVREL_BTN_MESSAGES_H
#define TAVREL_BTN_MESSAGES_H

/* "Unable to draw file PATH" CR "Error: ..." */
#define TAVREL_BTN_DRAW_ACTION "Unable to draw file "
#define TAVREL_BTN_NO_ROWS_TEXT "the file holds no rows"
#define TAVREL_BTN_NO_PIXELS_TEXT "the first row holds no pixels"
/* The numbers are TAVREL_BTN_MAX_COLUMNS and TAVREL_BTN_MAX_FILE_ROWS. */
#define TAVREL_BTN_TOO_WIDE_TEXT "a row holds more than 32764 pixels"
#define TAVREL_BTN_TOO_TALL_TEXT "the picture holds more than 100000 rows"
#define TAVREL_BTN_NO_MEMORY_TEXT "not enough memory"
#define TAVREL_BTN_LONG_LINE_TEXT "a line goes on past 1 MiB without a line end"

#endif
