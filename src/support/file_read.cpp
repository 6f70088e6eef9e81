#include "support/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const char *file_error_text(int err)
{
  if (err == FILE_NOT_REGULAR)
    return "not a regular file";
  if (err == ENAMETOOLONG)
    return "path too long";
  return strerror(err);
}

int open_regular_file(const char *path, int64_t max_size, int64_t &size, int &err)
{
  size = 0;
  if (!path || !*path)
  {
    err = ENAMETOOLONG;
    return -1;
  }
  int fd;
  do
    fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0)
  {
    err = errno;
    return -1;
  }
  struct stat st;
  int flags = -1;
  if (fstat(fd, &st) != 0)
    err = errno;
  else if (!S_ISREG(st.st_mode))
    err = FILE_NOT_REGULAR;
  else if (st.st_size > max_size)
    err = EFBIG;
  else if ((flags = fcntl(fd, F_GETFL)) == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
    err = errno;
  else
  {
    size = st.st_size;
    return fd;
  }
  close(fd);
  return -1;
}

bool read_exact(int fd, void *buf, size_t size, int &err)
{
  char *p = static_cast<char *>(buf);
  while (size > 0)
  {
    ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
    {
      err = n < 0 ? errno : EIO;
      return false;
    }
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool read_file(const char *path, int64_t max_size, std::string &out, int &err)
{
  out.clear();
  int64_t size = 0;
  int fd = open_regular_file(path, max_size, size, err);
  if (fd < 0)
    return false;
  out.resize(size_t(size));
  bool ok = read_exact(fd, out.data(), out.size(), err);
  close(fd);
  if (!ok)
    out.clear();
  return ok;
}
