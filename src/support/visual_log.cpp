#include "support/visual_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "support/debug.h"
#include "support/dyn_array.h"

namespace
{
struct LogLine
{
  char text[VISUAL_LOG_LINE_SIZE];
};
DynArray<LogLine> log_lines;
// Zero-terminated while it holds text; empty (no storage) when there is no message.
DynArray<char> error_text;
bool log_error_text = true;
}  // namespace

void visual_log(const char *fmt, ...)
{
  LogLine line;
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(line.text, sizeof(line.text), fmt, ap);
  va_end(ap);
  log_lines.push_back(line);
  if (log_lines.size() > VISUAL_LOG_MAX_LINES)
    log_lines.erase(0, log_lines.size() - VISUAL_LOG_MAX_LINES);
}

void clear_visual_log() { log_lines.clear(); }
int visual_log_line_count() { return log_lines.size(); }
const char *visual_log_line(int i)
{
  G_ASSERT(i >= 0 && i < log_lines.size());
  return log_lines[i].text;
}

void set_error_message(const char *text)
{
  if (!text || !*text)
  {
    error_text.clear();
    return;
  }
  error_text.assign(text, int(strlen(text)) + 1);
  if (log_error_text)
    debug("ERROR MESSAGE SET: %s", text);
}

void log_error_messages(bool on) { log_error_text = on; }

void append_error_message(const char *text, int length)
{
  if (!text)
    return;
  // Never read past the text's terminator, whatever length says.
  length = length < 0 ? int(strlen(text)) : int(strnlen(text, size_t(length)));
  if (length == 0)
    return;
  if (has_error_message())
    error_text.back() = '\n';  // the terminator becomes the separating line break
  else
    error_text.clear();
  error_text.append(length, text);
  error_text.push_back(0);
}

bool has_error_message() { return error_text.size() > 1; }
const char *get_error_message() { return has_error_message() ? error_text.data : ""; }
