#pragma once
// The window procedure on SDL: keyboard and mouse events become input events
// (platform/sdl_input.cpp), except the keys the window keeps (Alt-F4, Alt-Enter); window events
// go to the window handling attached here (the application's, app/window_proc.h).
union SDL_Event;
struct WindowEvents;

// Reports the main window's events to `events` from now on and makes the window their host
// (after the window exists). `events` must outlive the attachment.
void sdl_window_attach(const WindowEvents &events);
void sdl_window_detach();

// Handles one event as the window procedure would.
void sdl_window_handle_event(const SDL_Event &ev);
// Shows or hides the cursor for the current state (the set-cursor message); called after each
// batch of events.
void sdl_window_update_cursor();
