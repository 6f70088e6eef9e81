#include "support/debug.h"

#include <cstdio>
#include <cstdlib>

const char *const app_window_title = "Quenmoor 0.13 DEMO";

static ShutdownFn shutdown_handler = nullptr;
static MessageBoxFn message_box_handler = nullptr;
static LogLineHook log_line_hook = nullptr;
static bool shutting_down = false;

void set_shutdown_handler(ShutdownFn fn) { shutdown_handler = fn; }
void set_message_box_handler(MessageBoxFn fn) { message_box_handler = fn; }
void set_log_line_hook(LogLineHook fn) { log_line_hook = fn; }

void vdebug(const char *fmt, va_list ap)
{
  if (log_line_hook)
    log_line_hook();
  vfprintf(stdout, fmt, ap);
}

void debug_(const char *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vdebug(fmt, ap);
  va_end(ap);
}

void debug(const char *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  vdebug(fmt, ap);
  va_end(ap);
  fputc('\n', stdout);
  fflush(stdout);
}

void error_message(const char *text)
{
  debug("ERROR: %s", text);
  if (message_box_handler)
  {
    char caption[256];
    snprintf(caption, sizeof(caption), "%s - FATAL ERROR", app_window_title);
    message_box_handler(caption, text);
  }
}

static void run_shutdown_once()
{
  if (shutting_down)
    return;
  shutting_down = true;
  if (shutdown_handler)
    shutdown_handler();
}

void fatal(const char *fmt, ...)
{
  char buf[4096];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);

  fprintf(stderr, "\n\n%s\n", buf);
  fflush(stdout);
  fflush(stderr);
  // A fatal error raised while shutting down must not start the shutdown again.
  if (shutting_down)
    std::_Exit(100);
  error_message(buf);
  run_shutdown_once();
  fflush(stdout);
  std::exit(100);
}

void quit_game(int code)
{
  run_shutdown_once();
  fflush(stdout);
  std::exit(code);
}
