#pragma once
// The visual log (a short scrolling list of lines drawn over the game) and the on-screen error
// message, text side: what is held and how it changes. The drawing belongs to the debug text.
#include "support/export.h"

constexpr int VISUAL_LOG_LINE_SIZE = 128;  // bytes per line, terminator included
constexpr int VISUAL_LOG_MAX_LINES = 100;

// Formats one line (cut to 127 characters) and appends it; the oldest lines go beyond 100.
QM_EXPORT void visual_log(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
QM_EXPORT void clear_visual_log();
int visual_log_line_count();
// Line i, oldest first.
const char *visual_log_line(int i);

// A non-empty text replaces the message (and is logged as "ERROR MESSAGE SET: <text>" unless the
// logging is off); null or empty clears it.
QM_EXPORT void set_error_message(const char *text);
// Whether set_error_message logs the message (on by default). The world tool, which prints the
// message itself, turns it off so that an error is printed once.
void log_error_messages(bool on);
// Appends `length` bytes of text (-1: up to the terminator), on a new line when a message exists.
QM_EXPORT void append_error_message(const char *text, int length);
QM_EXPORT bool has_error_message();
// The message; "" when there is none.
const char *get_error_message();
