#pragma once
// Script machines: creation with the program's print and error handlers, compiling and running
// script files.
#include <squirrel.h>

// sq_open with the print function, the compiler error handler and the runtime error handler
// (which prints the call stack and the locals of the failing call). The root table's suspend()
// refuses to suspend the machine itself (only threads made with newthread may suspend).
HSQUIRRELVM open_vm(SQInteger stack_size);
// Collects garbage and closes; null is ignored. Handles into the machine become inert.
void close_vm(HSQUIRRELVM v);
// Compiles text (errors raised and printed); on success the closure is left on the stack. On
// failure the machine's last error is the printed report "<file>(<line>,<column>): error: <why>";
// a NUL byte anywhere in the text is such an error ("NUL byte at offset <n>").
bool compile_buffer(HSQUIRRELVM v, const char *text, SQInteger length, const char *source_name);
// Script files larger than this are not read.
constexpr long long MAX_SCRIPT_FILE = 64ll << 20;
// Reads the whole file (read_file rules: regular files only, never blocking) and compiles it with
// its path as the source name. A file that cannot be read logs "can't load script '<path>': <why>"
// (the errno text, "not a regular file", "path too long", ...) and leaves that text as the
// machine's last error.
bool compile_file(HSQUIRRELVM v, const char *path);
// Logs "can't load script '<path>': <reason>", leaves it as the machine's last error; false.
bool script_load_failed(HSQUIRRELVM v, const char *path, const char *reason);
// compile_file, then calls the closure with the root table as `this`.
bool run_file(HSQUIRRELVM v, const char *path);

// The machine's print function: formats into the debug log and flushes standard output.
void sq_print_func(HSQUIRRELVM v, const SQChar *fmt, ...);
// How source names appear in the error report: relative to "bin/" when the file lies under the
// executable's directory, else the name as it is.
void format_source_name(char *buf, int size, const char *source);
