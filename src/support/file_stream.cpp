#include "support/file_stream.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "support/file_read.h"

StreamIOException::StreamIOException(const char *msg, int pos) : position(pos)
{
  snprintf(message, sizeof(message), "%s", msg);
}

static int file_pos(FILE *f) { return f ? int(ftell(f)) : -1; }

// Position and seeking are the same for both directions; only the exception type differs.
template <class E>
static int checked_tell(FILE *f)
{
  if (!f)
    throw E("file not opened", -1);
  return file_pos(f);
}

template <class E>
static void checked_seek(FILE *f, long ofs, int whence)
{
  if (!f)
    throw E("file not opened", -1);
  if (fseek(f, ofs, whence) != 0)
    throw E("file seek error", file_pos(f));
}

// --- input -------------------------------------------------------------------------------
bool FileInputStream::open(const char *name, const char *mode)
{
  close();
  int64_t size = 0;
  int err = 0;
  int fd = open_regular_file(name, INT_MAX, size, err);
  if (fd < 0)
    return false;
  file = fdopen(fd, mode);
  if (!file)
    ::close(fd);
  return file != nullptr;
}

void FileInputStream::close()
{
  if (file)
    fclose(file);
  file = nullptr;
}

int FileInputStream::readSome(void *buf, int size)
{
  if (!file || size <= 0)
    return 0;
  return int(fread(buf, 1, size_t(size), file));
}

void FileInputStream::read(void *buf, int size)
{
  if (!file)
    throw Exception("file not opened", -1);
  if (size < 0)
    throw Exception("negative size in read()", -1);
  if (size == 0)
    return;
  if (fread(buf, 1, size_t(size), file) != size_t(size))
    throw Exception("error reading file", file_pos(file));
}

int FileInputStream::tell() { return checked_tell<Exception>(file); }

void FileInputStream::doSeek(long ofs, int whence) { checked_seek<Exception>(file, ofs, whence); }

void FileInputStream::seek(int pos) { doSeek(pos, SEEK_SET); }
void FileInputStream::seekCur(int ofs) { doSeek(ofs, SEEK_CUR); }
void FileInputStream::seekEnd(int ofs) { doSeek(ofs, SEEK_END); }

// --- output ------------------------------------------------------------------------------
bool FileOutputStream::open(const char *name, const char *mode)
{
  close();
  file = fopen(name, mode);
  return file != nullptr;
}

bool FileOutputStream::close()
{
  bool ok = true;
  if (file)
    ok = fclose(file) == 0;
  file = nullptr;
  return ok;
}

void FileOutputStream::write(const void *buf, int size)
{
  if (!file)
    throw Exception("file not opened", -1);
  if (size < 0)
    throw Exception("negative size in write()", -1);
  if (size == 0)
    return;
  if (fwrite(buf, 1, size_t(size), file) != size_t(size))
    throw Exception("error writing file", file_pos(file));
}

int FileOutputStream::tell() { return checked_tell<Exception>(file); }

void FileOutputStream::doSeek(long ofs, int whence) { checked_seek<Exception>(file, ofs, whence); }

void FileOutputStream::seek(int pos) { doSeek(pos, SEEK_SET); }
void FileOutputStream::seekEnd(int ofs) { doSeek(ofs, SEEK_END); }
