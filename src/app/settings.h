#pragma once
// Persistent user settings: named integers and strings, read once at start-up and written by
// the game object module when the player changes options (they take effect at the next start).
//
// On disk (platform/settings_file.h) one line per value: `name=dword:0000000a` for an integer,
// `name="text"` for a string, with \\, \", \n, \r, \t and \xHH escapes inside the quotes. Names
// compare without regard to case. Lines that cannot be read are skipped, and kept as they are
// when the file is rewritten. Every failure is reported only through a false result.
#include "support/export.h"

QM_EXPORT bool set_config_int(const char *name, int value);
// A negative length means the whole text; the text ends at its terminator in any case.
QM_EXPORT bool set_config_str(const char *name, const char *text, int length = -1);
// True only when the value exists and is an integer; `out` is untouched otherwise.
QM_EXPORT bool get_config_int(const char *name, int &out);
// True only when the value exists, is a string and is at most size - 1 bytes long; then the
// buffer holds it, terminated. The buffer is untouched otherwise.
QM_EXPORT bool get_config_str(const char *name, char *buffer, int size);
