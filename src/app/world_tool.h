#pragma once
// The headless world tool: generates one world with the world script and writes its pictures and
// arrays (quenmoor --gen-world NAME --out DIR ...). Never opens a window or touches a GPU.
struct StartupOptions;

// Returns the process exit code: 0 when every file was written, 1 when the script failed or a
// file could not be written.
int run_world_tool(const StartupOptions &opt);

// Draws the splash message and progress as a text progress bar on standard error.
void terminal_splash(const char *msg, float progress);
