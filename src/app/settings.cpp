#include "app/settings.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "platform/settings_file.h"

namespace
{
struct Line
{
  const char *begin;
  const char *end;  // without the line break
};

bool is_space(char c) { return c == ' ' || c == '\t'; }

int hex_digit(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// A name that survives the round trip through a line.
bool valid_name(const char *name)
{
  if (!name || !*name || is_space(name[0]) || name[0] == '#' || name[0] == ';' || name[0] == '[')
    return false;
  size_t n = strlen(name);
  if (is_space(name[n - 1]))
    return false;
  for (const char *p = name; *p; p++)
    if (*p == '=' || (unsigned char)*p < 0x20 || *p == 0x7F)
      return false;
  return true;
}

// The name part of a `name=value` line (trimmed); false for blank lines, comments, sections and
// lines without '='.
bool line_name(const Line &l, const char *&nb, const char *&ne, const char *&value)
{
  const char *p = l.begin;
  while (p < l.end && is_space(*p))
    p++;
  if (p == l.end || *p == '#' || *p == ';' || *p == '[')
    return false;
  const char *eq = static_cast<const char *>(memchr(p, '=', size_t(l.end - p)));
  if (!eq)
    return false;
  nb = p;
  ne = eq;
  while (ne > nb && is_space(ne[-1]))
    ne--;
  value = eq + 1;
  while (value < l.end && is_space(*value))
    value++;
  return ne > nb;
}

bool name_matches(const char *nb, const char *ne, const char *name)
{
  size_t n = strlen(name);
  return size_t(ne - nb) == n && strncasecmp(nb, name, n) == 0;
}

bool rest_blank(const char *p, const char *end)
{
  while (p < end && is_space(*p))
    p++;
  return p == end;
}

bool parse_int(const char *p, const char *end, int &out)
{
  if (end - p < 6 || strncasecmp(p, "dword:", 6) != 0)
    return false;
  p += 6;
  unsigned v = 0;
  int digits = 0;
  for (; p < end && hex_digit(*p) >= 0; p++, digits++)
    v = (v << 4) | unsigned(hex_digit(*p));
  if (digits < 1 || digits > 8 || !rest_blank(p, end))
    return false;
  out = int(v);
  return true;
}

bool parse_str(const char *p, const char *end, DynArray<char> &out)
{
  out.clear();
  if (p == end || *p != '"')
    return false;
  for (p++; p < end; p++)
  {
    char c = *p;
    if (c == '"')
      return rest_blank(p + 1, end);
    if (c != '\\')
    {
      out.push_back(c);
      continue;
    }
    if (++p == end)
      return false;
    switch (*p)
    {
      case '\\': c = '\\'; break;
      case '"': c = '"'; break;
      case 'n': c = '\n'; break;
      case 'r': c = '\r'; break;
      case 't': c = '\t'; break;
      case 'x':
      {
        if (end - p < 3 || hex_digit(p[1]) < 0 || hex_digit(p[2]) < 0)
          return false;
        c = char(hex_digit(p[1]) * 16 + hex_digit(p[2]));
        p += 2;
        if (c == 0)
          return false;
        break;
      }
      default: return false;
    }
    out.push_back(c);
  }
  return false;  // no closing quote
}

bool next_line(const DynArray<char> &text, int &pos, Line &l)
{
  if (pos >= text.size())
    return false;
  const char *b = text.begin() + pos;
  const char *e = static_cast<const char *>(memchr(b, '\n', size_t(text.size() - pos)));
  pos = e ? int(e - text.begin()) + 1 : text.size();
  if (!e)
    e = text.end();
  if (e > b && e[-1] == '\r')
    e--;
  l = {b, e};
  return true;
}

enum class Kind
{
  Int,
  Str
};

// Finds the value of `name` of the wanted kind; the last readable line of that name counts.
// False when absent, unreadable, or of the other kind.
bool find_value(const char *name, Kind kind, int &ival, DynArray<char> &sval)
{
  if (!valid_name(name))
    return false;
  DynArray<char> text;
  if (read_settings_file(text) != SettingsRead::Ok)
    return false;
  bool found = false, is_int = false;
  int iv = 0;
  DynArray<char> sv;
  int pos = 0;
  Line l;
  while (next_line(text, pos, l))
  {
    const char *nb, *ne, *val;
    if (!line_name(l, nb, ne, val) || !name_matches(nb, ne, name))
      continue;
    if (parse_int(val, l.end, iv))
      found = is_int = true, ival = iv;
    else if (parse_str(val, l.end, sv))
      found = true, is_int = false, sval = static_cast<DynArray<char> &&>(sv);
  }
  return found && is_int == (kind == Kind::Int);
}

void append_str(DynArray<char> &out, const char *s) { out.append(int(strlen(s)), s); }

void append_escaped(DynArray<char> &out, const char *text, int len)
{
  out.push_back('"');
  for (int i = 0; i < len; i++)
  {
    unsigned char c = (unsigned char)text[i];
    char esc[8];
    switch (c)
    {
      case '\\': append_str(out, "\\\\"); break;
      case '"': append_str(out, "\\\""); break;
      case '\n': append_str(out, "\\n"); break;
      case '\r': append_str(out, "\\r"); break;
      case '\t': append_str(out, "\\t"); break;
      default:
        if (c < 0x20 || c == 0x7F)
        {
          snprintf(esc, sizeof(esc), "\\x%02x", c);
          append_str(out, esc);
        }
        else
          out.push_back(char(c));
    }
  }
  out.push_back('"');
}

// Rewrites the file with `name` set to the value line `entry`: the first line of that name is
// replaced, later ones dropped, every other line kept byte for byte with its own line break (a
// line ending in "\r\r\n" must not become one ending in "\r\n": that would change what it
// reads as). A last line without a break gets one.
bool store(const char *name, const DynArray<char> &entry)
{
  SettingsWriteLock lock;
  if (!lock.ok)
    return false;
  DynArray<char> text;
  if (read_settings_file(text) == SettingsRead::Unreadable)
    return false;  // never replace what could not be read

  DynArray<char> out;
  bool placed = false;
  int pos = 0;
  Line l;
  while (next_line(text, pos, l))
  {
    const char *nb, *ne, *val;
    if (line_name(l, nb, ne, val) && name_matches(nb, ne, name))
    {
      if (!placed)
        out.append(entry.size(), entry.begin());
      placed = true;
      continue;
    }
    const char *raw_end = text.begin() + pos;
    out.append(int(raw_end - l.begin), l.begin);
    if (raw_end[-1] != '\n')
      out.push_back('\n');
  }
  if (!placed)
    out.append(entry.size(), entry.begin());
  return write_settings_file(out.begin(), out.size());
}

void begin_entry(DynArray<char> &entry, const char *name)
{
  append_str(entry, name);
  entry.push_back('=');
}
}  // namespace

bool set_config_int(const char *name, int value)
{
  if (!valid_name(name))
    return false;
  DynArray<char> entry;
  begin_entry(entry, name);
  char v[32];
  snprintf(v, sizeof(v), "dword:%08x\n", unsigned(value));
  append_str(entry, v);
  return store(name, entry);
}

bool set_config_str(const char *name, const char *text, int length)
{
  if (!valid_name(name) || (!text && length != 0))
    return false;
  int len = 0;
  if (text)
  {
    const char *stop = length < 0 ? strchr(text, 0) : static_cast<const char *>(memchr(text, 0, size_t(length)));
    len = stop ? int(stop - text) : length;
  }
  DynArray<char> entry;
  begin_entry(entry, name);
  append_escaped(entry, text, len);
  entry.push_back('\n');
  return store(name, entry);
}

bool get_config_int(const char *name, int &out)
{
  DynArray<char> unused;
  int v;
  if (!find_value(name, Kind::Int, v, unused))
    return false;
  out = v;
  return true;
}

bool get_config_str(const char *name, char *buffer, int size)
{
  int unused;
  DynArray<char> s;
  if (!buffer || size <= 0 || !find_value(name, Kind::Str, unused, s) || s.size() > size - 1)
    return false;
  if (s.size())
    memcpy(buffer, s.begin(), size_t(s.size()));
  buffer[s.size()] = 0;
  return true;
}
