#pragma once
// Binary file streams. Their failures are exceptions carrying a message and the file position
// (-1 when there is no file or the request itself was invalid).
#include <cstdio>

struct StreamIOException
{
  char message[512];
  int position;
  StreamIOException(const char *msg, int pos);
};

class InputStream
{
public:
  struct Exception : StreamIOException
  {
    using StreamIOException::StreamIOException;
  };
  virtual ~InputStream() = default;
  virtual int readSome(void *buf, int size) = 0;  // never throws; 0 when closed or size <= 0
  virtual void read(void *buf, int size) = 0;     // exactly size bytes or throws
  virtual int tell() = 0;
  virtual void seek(int pos) = 0;
  virtual void seekCur(int ofs) = 0;
  virtual void seekEnd(int ofs) = 0;
};

class OutputStream
{
public:
  struct Exception : StreamIOException
  {
    using StreamIOException::StreamIOException;
  };
  virtual ~OutputStream() = default;
  virtual void write(const void *buf, int size) = 0;
  virtual int tell() = 0;
  virtual void seek(int pos) = 0;
  virtual void seekEnd(int ofs) = 0;
};

class FileInputStream : public InputStream
{
public:
  FileInputStream() = default;
  FileInputStream(const char *name, const char *mode) { open(name, mode); }
  ~FileInputStream() override { close(); }
  FileInputStream(const FileInputStream &) = delete;
  FileInputStream &operator=(const FileInputStream &) = delete;

  // Opens a regular file only (see file_read.h: a FIFO or a device never blocks the open), of
  // at most 2 GiB, as positions are 32-bit; `mode` must be a reading mode.
  bool open(const char *name, const char *mode = "rb");
  void close();
  bool isOpen() const { return file != nullptr; }

  int readSome(void *buf, int size) override;
  void read(void *buf, int size) override;
  int tell() override;
  void seek(int pos) override;
  void seekCur(int ofs) override;
  void seekEnd(int ofs) override;

private:
  void doSeek(long ofs, int whence);
  FILE *file = nullptr;
};

class FileOutputStream : public OutputStream
{
public:
  FileOutputStream() = default;
  FileOutputStream(const char *name, const char *mode) { open(name, mode); }
  ~FileOutputStream() override { close(); }
  FileOutputStream(const FileOutputStream &) = delete;
  FileOutputStream &operator=(const FileOutputStream &) = delete;

  bool open(const char *name, const char *mode = "wb");
  // Closes the file; false when buffered data could not be written.
  bool close();
  bool isOpen() const { return file != nullptr; }

  void write(const void *buf, int size) override;
  int tell() override;
  void seek(int pos) override;
  void seekEnd(int ofs) override;

private:
  void doSeek(long ofs, int whence);
  FILE *file = nullptr;
};
