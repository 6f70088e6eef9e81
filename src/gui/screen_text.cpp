// What the program shows with the debug font on its own: the visual log, the error message and
// the splash screen.
#include <cmath>

#include "gui/debug_text.h"
#include "render/device.h"
#include "support/splash.h"
#include "support/visual_log.h"

namespace
{
constexpr D3dColor WHITE = 0xFFFFFFFF;
constexpr D3dColor ERROR_BAND = 0xCC660000, ERROR_TEXT = 0xFFFFEE00;
constexpr D3dColor SPLASH_BACKGROUND = 0xFF000A28;
constexpr D3dColor BAR_TROUGH = 0xFF000000, BAR_FILL = 0xFF32960A, BAR_EDGE = 0xFF3C4C6C;
}  // namespace

void draw_visual_log()
{
  push_text_style();
  text_style.scale = 2;
  const int n = visual_log_line_count(), ch = debug_font.cellH;
  for (int i = 0; i < n; i++)
    draw_text(visual_log_line(i), -1, 2 * ch, (n - i) * 2 * ch, -1, -1, WHITE);
  pop_text_style();
}

void draw_error_message()
{
  if (!has_error_message())
    return;
  push_text_style();
  text_style.scale = 2;
  const int ch = debug_font.cellH;
  draw_rect(0, d3d_ht - 12 * ch, d3d_wd, d3d_ht, ERROR_BAND);
  draw_text(get_error_message(), -1, d3d_wd / 2, d3d_ht - ch, 0, 1, ERROR_TEXT);
  pop_text_style();
}

void draw_splash_screen()
{
  restore_back_buffer();
  clear_view(SPLASH_BACKGROUND);
  start_draw_text();
  draw_text(last_splash_message(), -1, d3d_wd / 2, d3d_ht / 4, 0, 0, WHITE);
  const float progress = last_splash_progress();
  if (std::isfinite(progress) && progress >= 0.0f)
  {
    const int bar_h = 3 * text_line_height(), w = d3d_wd / 4;
    const int x = (d3d_wd - w) / 2, y = d3d_ht / 4 - bar_h, h = bar_h / 2;
    const int filled = int(std::lround(double(w) * std::fmin(progress, 1.0f)));
    draw_rect(x, y, x + w, y + h, BAR_TROUGH);
    draw_rect(x, y, x + filled, y + h, BAR_FILL);
    // A frame around the trough, so that an empty bar shows on the dark background.
    draw_box(x - 1, y - 1, x + w, y + h, BAR_EDGE);
  }
  end_draw_text();
}
