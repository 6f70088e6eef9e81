#pragma once
// Input as the fixed-step updates see it: a queue of events for the GUI and the game object
// module, per-step pressed/released marks per virtual key, the key and character typed during
// the step, the wheel movement of the step and the mouse position. Everything but the mouse
// position and the live key state is cleared after every update, so each event is seen by
// exactly one update.
#include "platform/input_sink.h"
#include "support/export.h"

// Exported services.
QM_EXPORT bool getEvent(InputEvent *out);
QM_EXPORT void getMousePos(float *x, float *y);
QM_EXPORT void setMousePos(float x, float y);
QM_EXPORT int getMouseWheel();
QM_EXPORT bool isMouseOver();
QM_EXPORT bool getKeyState(int vk);
QM_EXPORT bool keyDown(int vk);
QM_EXPORT bool keyUp(int vk);
QM_EXPORT const char *getKeyName(int vk);
QM_EXPORT int getKey();
QM_EXPORT int getChar();

// Posts one event (InputSink::post_event); key events take the stored mouse position.
void post_input_event(int kind, int code, int ch, int flags, float x, float y);
// Starts input over the given platform (null: none); reads the cursor position, clears the marks
// and points input_sink at post_input_event and update_mouse_over.
void init_input(const InputPlatform *platform);
// Recomputes isMouseOver after a pass of event processing.
void update_mouse_over();
// The per-step clear: marks, queued events, typed key and character, wheel sum.
void clear_input_step();
