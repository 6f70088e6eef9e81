#pragma once
// The headless world tool: generates one world with the world script and writes its pictures and
// arrays (quenmoor --gen-world NAME --out DIR ...). Never opens a window or touches a GPU.
struct StartupOptions;

// Returns the process exit code: 0 when every file was written, 1 when the output directory cannot
// be written, the script failed or a file could not be written, 2 for a world the script does not
// list.
int run_world_tool(const StartupOptions &opt);
