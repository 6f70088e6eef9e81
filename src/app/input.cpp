#include "app/input.h"

#include <cstring>

#include "render/device.h"

namespace
{
struct QueuedEvent
{
  InputEvent ev;
  QueuedEvent *next;
};

enum : unsigned char
{
  MARK_PRESSED = 1,
  MARK_RELEASED = 2,
};

const InputPlatform *platform = nullptr;
QueuedEvent *queue_head = nullptr;
QueuedEvent *queue_tail = nullptr;
unsigned char keyMarks[256];
int lastKey = 0;
int lastChar = 0;
int wheelSum = 0;
float mouse_x = 0, mouse_y = 0;
bool mouseOver = false;
bool mouseCapturedByButton = false;

bool valid_vk(int vk) { return vk >= 0 && vk < 256; }

bool held(int vk) { return platform && platform->keyHeld && platform->keyHeld(vk); }

// Modifier and button bits as of the event being posted.
int state_flags()
{
  int f = 0;
  if (held(VK_SHIFT_KEY))
    f |= INPUT_FLAG_SHIFT;
  if (held(VK_CONTROL_KEY))
    f |= INPUT_FLAG_CTRL;
  if (held(VK_ALT_KEY))
    f |= INPUT_FLAG_ALT;
  if (platform && platform->lockFlags)
    f |= platform->lockFlags() & (INPUT_FLAG_CAPS_LOCK | INPUT_FLAG_SCROLL_LOCK | INPUT_FLAG_NUM_LOCK);
  if (held(MOUSE_BUTTON_LEFT))
    f |= INPUT_FLAG_LBUTTON;
  if (held(MOUSE_BUTTON_RIGHT))
    f |= INPUT_FLAG_RBUTTON;
  if (held(MOUSE_BUTTON_MIDDLE))
    f |= INPUT_FLAG_MBUTTON;
  return f;
}

float clamp_coord(float v, int size)
{
  float hi = size > 1 ? float(size - 1) : 0.f;
  if (!(v > 0))
    return 0;
  return v < hi ? v : hi;
}

void warp(float x, float y)
{
  if (platform && platform->warpMouse)
    platform->warpMouse(int(x), int(y));
}

void capture(bool on)
{
  if (platform && platform->captureMouse)
    platform->captureMouse(on);
}
}  // namespace

void post_input_event(int kind, int code, int ch, int flags, float x, float y)
{
  QueuedEvent *node = new QueuedEvent{};
  InputEvent &ev = node->ev;
  ev.kind = kind;
  bool use_stored_pos = false;

  switch (kind)
  {
    case INPUT_KEY_DOWN:
    case INPUT_KEY_UP:
      if (valid_vk(code) && (kind == INPUT_KEY_UP || !(flags & INPUT_FLAG_REPEAT)))
        keyMarks[code] |= kind == INPUT_KEY_DOWN ? MARK_PRESSED : MARK_RELEASED;
      ev.key = code;
      ev.ch = ch;
      use_stored_pos = true;
      break;
    case INPUT_WHEEL:
      ev.wheel = code;
      break;
    case INPUT_BUTTON_DOWN:
      ev.key = code;
      if (valid_vk(code))
        keyMarks[code] |= MARK_PRESSED;
      capture(true);
      mouseCapturedByButton = true;
      break;
    case INPUT_BUTTON_UP:
      ev.key = code;
      if (valid_vk(code))
        keyMarks[code] |= MARK_RELEASED;
      capture(false);
      warp(mouse_x, mouse_y);
      mouseCapturedByButton = false;
      // The release happens where the cursor was last seen inside the back buffer.
      use_stored_pos = true;
      break;
    default:
      ev.key = code;
      break;
  }

  ev.flags = flags | state_flags();
  if (use_stored_pos)
  {
    ev.x = mouse_x;
    ev.y = mouse_y;
  }
  else
  {
    ev.x = clamp_coord(x, d3d_wd);
    ev.y = clamp_coord(y, d3d_ht);
  }

  if (queue_tail)
    queue_tail->next = node;
  else
    queue_head = node;
  queue_tail = node;

  if (kind == INPUT_KEY_DOWN || kind == INPUT_BUTTON_DOWN)
  {
    lastKey = ev.key;
    lastChar = ev.ch;
  }
  else if (kind == INPUT_MOUSE_MOVE)
  {
    mouse_x = ev.x;
    mouse_y = ev.y;
  }
  else if (kind == INPUT_WHEEL)
    wheelSum += ev.wheel;
}

bool getEvent(InputEvent *out)
{
  QueuedEvent *node = queue_head;
  if (!node)
    return false;
  *out = node->ev;
  queue_head = node->next;
  if (!queue_head)
    queue_tail = nullptr;
  delete node;
  return true;
}

void getMousePos(float *x, float *y)
{
  *x = mouse_x;
  *y = mouse_y;
}

// The stored position follows the warp at once (truncated as the cursor is), so a warp that
// produces no motion event cannot leave the stored position behind the cursor.
void setMousePos(float x, float y)
{
  int ix = int(x), iy = int(y);
  warp(float(ix), float(iy));
  mouse_x = float(ix);
  mouse_y = float(iy);
}

int getMouseWheel() { return wheelSum; }
bool isMouseOver() { return mouseOver; }
bool getKeyState(int vk) { return valid_vk(vk) && held(vk); }
bool keyDown(int vk) { return valid_vk(vk) && (keyMarks[vk] & MARK_PRESSED); }
bool keyUp(int vk) { return valid_vk(vk) && (keyMarks[vk] & MARK_RELEASED); }
int getKey() { return lastKey; }
int getChar() { return lastChar; }

void init_input(const InputPlatform *p)
{
  platform = p;
  input_sink.post_event = post_input_event;
  input_sink.events_done = update_mouse_over;
  float x, y;
  if (platform && platform->cursorPos && platform->cursorPos(x, y))
    mouse_x = x, mouse_y = y;
  memset(keyMarks, 0, sizeof(keyMarks));
  mouseCapturedByButton = false;
  mouseOver = false;
}

void update_mouse_over()
{
  if (mouseCapturedByButton || isFullscreen)
    mouseOver = true;
  else
    mouseOver = platform && platform->cursorOverWindow && platform->cursorOverWindow();
}

void clear_input_step()
{
  memset(keyMarks, 0, sizeof(keyMarks));
  while (queue_head)
  {
    QueuedEvent *next = queue_head->next;
    delete queue_head;
    queue_head = next;
  }
  queue_tail = nullptr;
  lastKey = lastChar = wheelSum = 0;
}
