#pragma once
// The window procedure on SDL: keyboard and mouse events become input events
// (platform/sdl_input.cpp), except the keys the window keeps (Alt-F4, Alt-Enter); window events
// go to the window's own handling (app/window_proc.h).
union SDL_Event;

// Makes the main window the host of the window procedure (after the window exists).
void sdl_window_attach();
void sdl_window_detach();

// Handles one event as the window procedure would.
void sdl_window_handle_event(const SDL_Event &ev);
// Shows or hides the cursor for the current state (the set-cursor message); called after each
// batch of events.
void sdl_window_update_cursor();
