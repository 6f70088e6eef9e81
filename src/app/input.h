#pragma once
// Input as the fixed-step updates see it: a queue of events for the GUI and the game object
// module, per-step pressed/released marks per virtual key, the key and character typed during
// the step, the wheel movement of the step and the mouse position. Everything but the mouse
// position and the live key state is cleared after every update, so each event is seen by
// exactly one update.
#include "platform/input_sink.h"

// The record handed out by getEvent; seven 32-bit fields in this order (the module relies on it).
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

// Exported services.
bool getEvent(InputEvent *out);
void getMousePos(float *x, float *y);
void setMousePos(float x, float y);
int getMouseWheel();
bool isMouseOver();
bool getKeyState(int vk);
bool keyDown(int vk);
bool keyUp(int vk);
const char *getKeyName(int vk);
int getKey();
int getChar();

// Posts one event (InputSink::post_event); key events take the stored mouse position.
void post_input_event(int kind, int code, int ch, int flags, float x, float y);
// Starts input over the given platform (null: none); reads the cursor position, clears the marks
// and points input_sink at post_input_event and update_mouse_over.
void init_input(const InputPlatform *platform);
// Recomputes isMouseOver after a pass of event processing.
void update_mouse_over();
// The per-step clear: marks, queued events, typed key and character, wheel sum.
void clear_input_step();
