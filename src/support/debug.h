#pragma once
// Logging, assertions and the fatal-error path shared by every subsystem.
//
// `debug` writes one line to standard output; `fatal` reports an unrecoverable error, runs the
// orderly shutdown once and ends the process with exit code 100. `G_ASSERT` is the one assertion
// form of the program: "<source>(<line>): failed ASSERT(<condition>)".
#include <cstdarg>

#include "support/export.h"

[[noreturn]] QM_EXPORT void fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
QM_EXPORT void debug(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
QM_EXPORT void debug_(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
QM_EXPORT void vdebug(const char *fmt, va_list ap);
// Logs "ERROR: <text>" and shows it in a modal message box when a display exists.
QM_EXPORT void error_message(const char *text);
// Runs the orderly shutdown and ends the process with `code`.
[[noreturn]] QM_EXPORT void quit_game(int code);

// Seams filled by the application: the orderly shutdown and the message box. Both may stay unset
// (tests, tools), then shutdown does nothing and the message only goes to the log.
using ShutdownFn = void (*)();
using MessageBoxFn = void (*)(const char *caption, const char *text);
void set_shutdown_handler(ShutdownFn fn);
void set_message_box_handler(MessageBoxFn fn);
// Called before every piece of log text is written (a terminal progress bar ends its line there,
// so that a log line never runs into it). May stay unset.
using LogLineHook = void (*)();
void set_log_line_hook(LogLineHook fn);

// The window title, used for the caption of fatal-error boxes.
extern const char *const app_window_title;

#define G_ASSERT(cond)                                                     \
  do {                                                                     \
    if (!(cond)) fatal("%s(%d): failed ASSERT(%s)", __FILE__, __LINE__, #cond); \
  } while (0)
