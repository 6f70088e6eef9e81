#include "gui/desc_lines.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
const char *skip_blanks(const char *p)
{
  while (is_blank(*p))
    p++;
  return p;
}
// A leading '+' as scanf takes it; from_chars only takes '-'.
const char *skip_plus(const char *p) { return *p == '+' && p[1] != '-' ? p + 1 : p; }
}  // namespace

bool DescLines::fail(const char *what)
{
  why = what;
  bad_line = number;
  return false;
}

bool DescLines::next(const char *missing)
{
  number++;
  if (cur >= end)
    return fail(missing);
  const char *nl = static_cast<const char *>(memchr(cur, '\n', size_t(end - cur)));
  const char *stop = nl ? nl : end;
  size_t n = size_t(stop - cur);
  if (n > 0 && cur[n - 1] == '\r')
    n--;
  if (n > size_t(DESC_LINE_MAX))
    return fail("line longer than 255 characters");
  memcpy(line, cur, n);
  line[n] = 0;
  // A zero byte inside a line ends what the patterns see of it, as it would for scanf.
  cur = nl ? nl + 1 : end;
  return true;
}

LineScan &LineScan::lit(const char *text)
{
  for (const char *t = text; ok && *t; t++)
  {
    if (is_blank(*t))
      p = skip_blanks(p);
    else if (*p == *t)
      p++;
    else
      ok = false;
  }
  return *this;
}

LineScan &LineScan::num(int &v, int lo, int hi)
{
  if (!ok)
    return *this;
  const char *s = skip_plus(skip_blanks(p));
  int64_t x = 0;
  auto r = std::from_chars(s, s + strlen(s), x);
  if (r.ec != std::errc() || x < lo || x > hi)
  {
    ok = false;
    return *this;
  }
  v = int(x);
  p = r.ptr;
  return *this;
}

LineScan &LineScan::num(float &v, float limit)
{
  if (!ok)
    return *this;
  const char *s = skip_plus(skip_blanks(p));
  float x = 0;
  auto r = std::from_chars(s, s + strlen(s), x, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(x) || std::fabs(x) > limit)
  {
    ok = false;
    return *this;
  }
  v = x;
  p = r.ptr;
  return *this;
}

LineScan &LineScan::name(char *buf, int size)
{
  if (!ok)
    return *this;
  int n = 0;
  while (p[n] && p[n] != '"')
    n++;
  if (n == 0 || n >= size)
  {
    ok = false;
    return *this;
  }
  memcpy(buf, p, size_t(n));
  buf[n] = 0;
  p += n;
  return *this;
}
