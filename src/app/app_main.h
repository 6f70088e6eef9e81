#pragma once
// The program: start-up, main loop and the orderly shutdown.

int app_main(int argc, char **argv);

// Closes every system in the reverse order of start-up. Runs once, from the end of the main
// loop, `quit_game` or `fatal`.
void close_all_systems();
