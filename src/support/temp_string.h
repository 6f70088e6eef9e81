#pragma once
// TempString<N>: a zero-terminated string in a fixed buffer of N bytes, kept by value.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "support/debug.h"

// Tag selecting the printf-style constructor: TempString<64> s(fmt_tag, "%d", 3).
struct FmtTag
{};
inline constexpr FmtTag fmt_tag{};

template <int N>
struct TempString
{
  static constexpr int BS = N;
  char str[N];

  TempString() { str[0] = 0; }
  TempString(const char *s, int l = -1) { assign(s, l); }
  TempString(FmtTag, const char *fmt, ...) __attribute__((format(printf, 3, 4)))
  {
    va_list ap;
    va_start(ap, fmt);
    vformat(fmt, ap);
    va_end(ap);
  }

  TempString &operator=(const char *s)
  {
    assign(s);
    return *this;
  }

  // Copies s (l characters, or up to its terminator when l is -1). Too long a string is fatal.
  void assign(const char *s, int l = -1)
  {
    if (!s)
    {
      str[0] = 0;
      return;
    }
    if (l < 0)
      l = int(strlen(s));
    G_ASSERT(l<BS);
    memmove(str, s, size_t(l));
    str[l] = 0;
  }

  // Formats into the buffer, truncating what does not fit; always terminated.
  void vformat(const char *fmt, va_list ap)
  {
    str[0] = 0;
    vsnprintf(str, N, fmt, ap);
  }

  int length() const { return int(strlen(str)); }
  operator const char *() const { return str; }
  const char *c_str() const { return str; }
};
