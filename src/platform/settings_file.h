#pragma once
// Where the settings live and how the file is replaced. The directory is
// $QUENMOOR_CONFIG_DIR when set (tests, portable installs), else
// $XDG_CONFIG_HOME/Obrelwick Games/Quenmoor (an absolute XDG_CONFIG_HOME only), else
// ~/.config/Obrelwick Games/Quenmoor. The file in it is "settings.ini".
#include "support/dyn_array.h"

// False when no location can be found or the path does not fit.
bool settings_file_path(char *buf, int size);

enum class SettingsRead
{
  Ok,
  Missing,     // no file (or no directory): nothing was ever stored
  Unreadable,  // the file exists but could not be read whole (or is no regular file, or too large)
};

// The whole file, read through read_file (regular files only: a FIFO or device never blocks).
SettingsRead read_settings_file(DynArray<char> &text);

// Serialises writers (other processes included) for the duration of one read-modify-write.
// Creates the directory when missing; `ok` is false when it cannot be created or opened.
struct SettingsWriteLock
{
  SettingsWriteLock();
  ~SettingsWriteLock();
  SettingsWriteLock(const SettingsWriteLock &) = delete;
  SettingsWriteLock &operator=(const SettingsWriteLock &) = delete;
  bool ok = false;

private:
  int dirFd = -1;
};

// Replaces the file by `text` atomically: written to a temporary file in the same directory,
// flushed to disk, then renamed over the old one. On any failure the old file stays as it was
// and the result is false; so it does for a text over SETTINGS_FILE_MAX, which could never be
// read back.
bool write_settings_file(const char *text, int len);

// Files larger than this are not settings files; they are left alone.
constexpr int SETTINGS_FILE_MAX = 1 << 20;
