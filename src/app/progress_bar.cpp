#include "app/progress_bar.h"

#include <cstring>

namespace
{
constexpr int BAR_WIDTH = 40;

void format_line(const ProgressBar &bar, char *line, size_t size)
{
  const int filled = int(bar.done * BAR_WIDTH + 0.5f);
  char cells[BAR_WIDTH + 1];
  for (int i = 0; i < BAR_WIDTH; i++)
    cells[i] = i < filled ? '#' : '.';
  cells[BAR_WIDTH] = 0;
  // A long label is cut (at a UTF-8 character boundary) so that the line fits 80 columns.
  int n = int(strnlen(bar.label, 30));
  while (n > 0 && (bar.label[n] & 0xC0) == 0x80)
    n--;
  snprintf(line, size, "%-28.*s [%s] %3d%%", n, bar.label, cells, int(bar.done * 100 + 0.5f));
}

void write_line(ProgressBar &bar, const char *line)
{
  if (bar.tty)
  {
    // Spaces over the rest of a longer line shown before.
    const int pad = bar.line_open ? int(strlen(bar.written)) - int(strlen(line)) : 0;
    fprintf(bar.out, "\r%s%*s", line, pad > 0 ? pad : 0, "");
    bar.line_open = true;
  }
  else
    fprintf(bar.out, "%s\n", line);
  fflush(bar.out);
  snprintf(bar.written, sizeof(bar.written), "%s", line);
  snprintf(bar.written_label, sizeof(bar.written_label), "%s", bar.label);
}
}  // namespace

void progress_begin(ProgressBar &bar)
{
  progress_end_line(bar);
  bar.label[0] = 0;
  bar.done = 0.f;
  bar.written[0] = bar.written_label[0] = 0;
}

void progress_show(ProgressBar &bar, const char *label, float fraction)
{
  if (!(fraction >= 0.f))
  {
    progress_end_line(bar);
    fprintf(bar.out, "%s\n", label);
    fflush(bar.out);
    bar.written_label[0] = 0;  // the bar's next line is printed again
    return;
  }
  snprintf(bar.label, sizeof(bar.label), "%s", label);
  if (fraction > bar.done)
    bar.done = fraction < 1.f ? fraction : 1.f;
  char line[sizeof(bar.written)];
  format_line(bar, line, sizeof(line));
  // A terminal redraws whenever the line changes; elsewhere a line is printed per phase.
  if (bar.tty ? !bar.line_open || strcmp(line, bar.written) != 0 : strcmp(bar.label, bar.written_label) != 0)
    write_line(bar, line);
}

void progress_end_line(ProgressBar &bar)
{
  if (bar.tty)
  {
    if (bar.line_open)
      fputc('\n', bar.out);
    bar.line_open = false;
    return;
  }
  // Elsewhere the line shows where the phase got to, when that was not printed yet.
  char line[sizeof(bar.written)];
  format_line(bar, line, sizeof(line));
  if (bar.label[0] && strcmp(line, bar.written) != 0)
    write_line(bar, line);
}
