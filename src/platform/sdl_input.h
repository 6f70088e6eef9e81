#pragma once
// SDL keyboard, mouse and text events turned into input events: the keyboard and mouse rows of
// the window handling.
union SDL_Event;
struct InputPlatform;

enum class SdlInputResult
{
  NotInput,          // not a keyboard or mouse event: the window handling takes it
  Taken,             // handled here (posted, or deliberately dropped)
  CloseRequest,      // Alt-F4: close the window as its close button would
  ToggleFullscreen,  // Alt-Enter (its auto-repeat is taken and dropped)
};

SdlInputResult sdl_input_handle_event(const SDL_Event &ev);

// The live key, button and cursor state behind the input logic, for init_input.
const InputPlatform *sdl_input_platform();
