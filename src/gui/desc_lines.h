#pragma once
// Reading the text descriptions of distance-field fonts and icon sets: one line at a time (at
// most 255 characters), each matched against a fixed pattern. Every field is bounded, so no
// description, however damaged, can overflow a buffer, overflow a number or run without end.
#include <cstddef>

constexpr int DESC_LINE_MAX = 255;  // characters per line, the line break not counted

// The lines of a description held in memory (not necessarily zero-terminated).
struct DescLines
{
  const char *cur, *end;
  int number = 0;  // of the line last read, from 1
  char line[DESC_LINE_MAX + 1];

  // The first problem: its line number and what is wrong.
  int bad_line = 0;
  const char *why = nullptr;

  DescLines(const char *text, size_t size) : cur(text), end(text + size) {}
  // Reads the next line into `line` (without its "\n" or "\r\n"). At the end of the text, or
  // at a line longer than DESC_LINE_MAX, records the problem (`missing` names what was expected)
  // and returns false.
  bool next(const char *missing);
  // Records `what` as the problem of the line last read; returns false.
  bool fail(const char *what);
};

// Matches one line field by field, as a scanf pattern would: a blank in a literal matches any run
// of white space (also none); numbers skip the white space before them; anything after the last
// field is ignored. Once a step fails, every later step fails too and `ok` stays false.
struct LineScan
{
  const char *p;
  bool ok = true;

  explicit LineScan(const char *line) : p(line) {}
  LineScan &lit(const char *text);
  // A decimal integer within lo..hi.
  LineScan &num(int &v, int lo, int hi);
  // A finite decimal number within -limit..limit.
  LineScan &num(float &v, float limit);
  // One or more characters up to (not including) a double quote, at most size - 1 of them.
  LineScan &name(char *buf, int size);
};
