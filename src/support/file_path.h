#pragma once
// Where the program finds its files: everything relative is resolved against the directory of
// the executable (`app_path`, with a trailing "/").
#include <cstdint>

#include "support/export.h"
#include "support/temp_string.h"

QM_EXPORT extern char app_path[260];

QM_EXPORT bool get_exe_filename(char *buf, int size);
// The executable's path cut after its last separator; false when unknown or too long.
QM_EXPORT bool get_exe_path(char *buf, int size);
// Fills `app_path` from the executable's location (empty on failure).
void init_app_path();

// Resolves a file name: null gives `app_path`; an absolute name ("/...") is kept; anything else
// is joined to `app_path`. Backslashes become "/", and "." and ".." parts are folded. When the
// joined name does not fit the 260-byte result the result is empty, never a shortened path (which
// would name another file); readers report the empty path as "path too long".
TempString<260> make_full_path(const char *name);

// The file's last modification time in nanoseconds; 0 when it is missing or unreadable.
QM_EXPORT int64_t get_file_time(const char *name);
