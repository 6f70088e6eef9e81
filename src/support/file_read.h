#pragma once
// Reading files the program loads (settings, shaders and their includes, shader caches,
// textures, scripts, the window icon). Every loader goes through here, so none of them can block
// or read without end: only regular files are read. A FIFO, a device such as /dev/zero, a socket
// or a directory is refused before anything is read, and a failure always says why.
#include <cstddef>
#include <cstdint>
#include <string>

// Why a file could not be read: an errno value (ENOENT, EACCES, ...) or FILE_NOT_REGULAR.
// ENAMETOOLONG reads "path too long": it also stands for the empty path, which is what
// make_full_path gives for a name that does not fit its buffer.
constexpr int FILE_NOT_REGULAR = -1;
const char *file_error_text(int err);

// Opens `path` for reading when it is a regular file of at most `max_size` bytes. The open itself
// never blocks (O_NONBLOCK, so a FIFO without a writer returns at once); the type is checked on
// the open descriptor (fstat), then the descriptor is made blocking again. Returns the
// descriptor (close-on-exec) with the file's size, or -1 with `err` set (EFBIG when too large).
int open_regular_file(const char *path, int64_t max_size, int64_t &size, int &err);

// Reads exactly `size` bytes from `fd` (interrupted reads are resumed). A file that ends early
// gives false with EIO.
bool read_exact(int fd, void *buf, size_t size, int &err);

// The whole regular file `path` (at most `max_size` bytes) in `out`; std::string keeps a zero
// byte after the contents, so text loaders can use out.c_str(). False with `err` set and `out`
// empty on any failure.
bool read_file(const char *path, int64_t max_size, std::string &out, int &err);
