#include "app/progress_bar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

namespace
{
// Runs one job's splash calls through a bar and returns what it wrote, each bar drawing reduced
// to "<label> <percent>%".
std::string run_job(bool tty)
{
  char *text = nullptr;
  size_t size = 0;
  ProgressBar bar;
  bar.out = open_memstream(&text, &size);
  bar.tty = tty;
  progress_begin(bar);
  progress_show(bar, "Generating...", -1);
  progress_show(bar, "Shaping", 0.05f);
  progress_show(bar, "Erosion", 0.f);  // a phase with its own 0..1 starts below the bar
  progress_show(bar, "Erosion", 0.5f);
  progress_end_line(bar);  // a log line
  progress_show(bar, "Filling", 0.4f);
  progress_show(bar, "Done", 1.5f);
  progress_begin(bar);  // the water steps
  progress_show(bar, "Water", 0.25f);
  progress_end_line(bar);
  fclose(bar.out);
  std::string out = std::regex_replace(text, std::regex(" *\\[[#.]{40}\\] +([0-9]+%) *"), " $1");
  out = std::regex_replace(out, std::regex(" +(\r|\n)"), "$1");
  free(text);
  return out;
}
}  // namespace

TEST(ProgressBar, NeverGoesBackAndEndsItsLineBeforeOtherText)
{
  EXPECT_EQ(run_job(true),
            "Generating...\n"
            "\rShaping 5%\rErosion 5%\rErosion 50%\n"
            "\rFilling 50%\rDone 100%\n"
            "\rWater 25%\n");
  // Not a terminal: a line per phase, and where the phase got to when its line ends.
  EXPECT_EQ(run_job(false),
            "Generating...\n"
            "Shaping 5%\nErosion 5%\nErosion 50%\nFilling 50%\nDone 100%\n"
            "Water 25%\n");
}
