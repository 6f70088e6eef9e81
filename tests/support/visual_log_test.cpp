#include <gtest/gtest.h>

#include <string>

#include "support/visual_log.h"

TEST(VisualLog, KeepsTheLastHundredLinesCutTo127Characters)
{
  clear_visual_log();
  for (int i = 1; i <= 101; i++)
    visual_log("line %d", i);
  ASSERT_EQ(visual_log_line_count(), 100);
  EXPECT_STREQ(visual_log_line(0), "line 2");
  EXPECT_STREQ(visual_log_line(99), "line 101");
  visual_log("%s", std::string(300, 'x').c_str());
  EXPECT_EQ(std::string(visual_log_line(99)), std::string(127, 'x'));
  clear_visual_log();
  EXPECT_EQ(visual_log_line_count(), 0);
}

TEST(ErrorMessage, SetAppendAndClear)
{
  set_error_message(nullptr);
  EXPECT_FALSE(has_error_message());
  EXPECT_STREQ(get_error_message(), "");
  append_error_message("first", -1);
  EXPECT_STREQ(get_error_message(), "first");
  append_error_message("second line", 6);
  EXPECT_STREQ(get_error_message(), "first\nsecond");
  append_error_message(nullptr, 5);
  append_error_message("x", 0);
  append_error_message("", -1);
  EXPECT_STREQ(get_error_message(), "first\nsecond");
  // A length past the text's end stops at its terminator.
  append_error_message("ab", 50);
  EXPECT_STREQ(get_error_message(), "first\nsecond\nab");

  testing::internal::CaptureStdout();
  set_error_message("replaced");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR MESSAGE SET: replaced\n");
  EXPECT_STREQ(get_error_message(), "replaced");
  set_error_message("");
  EXPECT_FALSE(has_error_message());
}
