#pragma once
// Input between the platform layer and the input logic (app/input.cpp): the event kinds, button
// codes, flag bits and virtual-key codes both sides use; what the platform offers the input logic
// (InputPlatform); and the sink the platform posts its events to (input_sink), which init_input
// fills. Until it is filled the platform's events go nowhere.
//
// Key codes are the Windows virtual-key numbers (VK_F1 = 112, 'W' = 87, VK_SHIFT = 16); the
// platform layer translates its own key codes into them before posting.

enum InputEventKind
{
  INPUT_KEY_DOWN = 1,
  INPUT_KEY_UP = 2,
  INPUT_BUTTON_DOWN = 3,
  INPUT_BUTTON_UP = 4,
  INPUT_MOUSE_MOVE = 5,
  INPUT_WHEEL = 6,
};

// Mouse button codes; they equal the virtual-key codes of the buttons.
enum
{
  MOUSE_BUTTON_LEFT = 1,
  MOUSE_BUTTON_RIGHT = 2,
  MOUSE_BUTTON_MIDDLE = 4,
};

// Bits of InputEvent::flags.
enum
{
  INPUT_FLAG_SHIFT = 0x1,
  INPUT_FLAG_CTRL = 0x2,
  INPUT_FLAG_ALT = 0x4,
  INPUT_FLAG_CAPS_LOCK = 0x8,
  INPUT_FLAG_SCROLL_LOCK = 0x10,
  INPUT_FLAG_NUM_LOCK = 0x20,
  INPUT_FLAG_REPEAT = 0x40,  // auto-repeat on a key down, double click on a button down
  INPUT_FLAG_LBUTTON = 0x80,
  INPUT_FLAG_RBUTTON = 0x100,
  INPUT_FLAG_MBUTTON = 0x200,
};

// Virtual-key codes the engine itself refers to.
enum
{
  VK_RETURN = 13,
  VK_SHIFT_KEY = 16,
  VK_CONTROL_KEY = 17,
  VK_ALT_KEY = 18,
  VK_F4 = 115,
};

// The record handed out by getEvent (app/input.h) and carried by interface events; seven 32-bit
// fields in this order (the module relies on it).
struct InputEvent
{
  int kind;   // InputEventKind
  int key;    // virtual key (key events), button code (button events), else 0
  int flags;  // INPUT_FLAG_* bits
  int ch;     // character of the key (key events), else 0
  int wheel;  // wheel notches (wheel events), else 0
  float x;    // mouse position in back-buffer pixels
  float y;
};
static_assert(sizeof(InputEvent) == 28, "InputEvent is seven 32-bit fields");

// What the input logic needs from the platform. Every member may be null (no window: headless
// runs); tests install their own.
struct InputPlatform
{
  // The key or button is held, as of the event being handled.
  bool (*keyHeld)(int vk);
  // INPUT_FLAG_CAPS_LOCK, _SCROLL_LOCK and _NUM_LOCK as currently toggled on.
  int (*lockFlags)();
  // Keep receiving mouse events while a button is held outside the window, or stop.
  void (*captureMouse)(bool on);
  // Moves the system cursor to a client point.
  void (*warpMouse)(int x, int y);
  // The cursor position in client coordinates; false when unknown.
  bool (*cursorPos)(float &x, float &y);
  // The cursor lies inside the client area and this window is the one under it.
  bool (*cursorOverWindow)();
};

// Where the platform delivers input. Null members are skipped.
struct InputSink
{
  // One event. `code`: virtual key, button code or wheel notches by kind; `ch`: the character
  // the platform produced for a key event; `flags`: 0 or INPUT_FLAG_REPEAT; (x, y): the client
  // position of mouse events.
  void (*post_event)(int kind, int code, int ch, int flags, float x, float y) = nullptr;
  // A pass of event processing has ended (the cursor may have left or entered the window).
  void (*events_done)() = nullptr;
};
extern InputSink input_sink;
