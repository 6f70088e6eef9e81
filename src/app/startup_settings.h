#pragma once
// The stored settings read at start-up, before the switches (which override them).
struct StartupOptions;

// `flags`: bit 0 full screen, bit 1 post-process anti-aliasing, bit 2 vertical sync, bit 3
// object shadows. `land_shadows`: 0, 1 or 2 (other values are ignored). `gfx_quality`: a name of
// gfx_quality_name in any case; an unknown name keeps the current level.
void read_startup_settings(StartupOptions &opt);
