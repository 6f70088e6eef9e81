#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "support/file_path.h"
#include "support/file_stream.h"

namespace
{
std::string temp_name(const char *tag)
{
  const char *dir = getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/qm_" + tag + "_" + std::to_string(getpid());
}

struct AppPathGuard
{
  char saved[260];
  explicit AppPathGuard(const char *p)
  {
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", p);
  }
  ~AppPathGuard() { memcpy(app_path, saved, sizeof(saved)); }
};
}  // namespace

TEST(MakeFullPath, ResolvesAgainstTheExecutableDirectory)
{
  AppPathGuard g("/opt/game/bin/");
  EXPECT_STREQ(make_full_path(nullptr), "/opt/game/bin/");
  EXPECT_STREQ(make_full_path("gen/main.nut"), "/opt/game/bin/gen/main.nut");
  EXPECT_STREQ(make_full_path("gen\\lib\\util.nut"), "/opt/game/bin/gen/lib/util.nut");
  EXPECT_STREQ(make_full_path("../data/./x.dds"), "/opt/game/data/x.dds");
  EXPECT_STREQ(make_full_path("/etc//passwd"), "/etc/passwd");
  EXPECT_STREQ(make_full_path("\\tmp\\a"), "/tmp/a");
  EXPECT_STREQ(make_full_path("cache/"), "/opt/game/bin/cache/");
  EXPECT_STREQ(make_full_path("/../x/.."), "/");
  // What does not fit the 260-byte result is refused (empty), never cut into another name.
  std::string fits(259 - strlen(app_path), 'a');
  EXPECT_STREQ(make_full_path(fits.c_str()), (app_path + fits).c_str());
  EXPECT_STREQ(make_full_path((fits + "b").c_str()), "");
  EXPECT_STREQ(make_full_path(("/" + std::string(258, 'c')).c_str()), ("/" + std::string(258, 'c')).c_str());
  EXPECT_STREQ(make_full_path(("/" + std::string(259, 'c')).c_str()), "");
}

TEST(ExePath, PointsAtTheTestBinary)
{
  char name[260], dir[260];
  ASSERT_TRUE(get_exe_filename(name, sizeof(name)));
  ASSERT_TRUE(get_exe_path(dir, sizeof(dir)));
  EXPECT_EQ(std::string(name).rfind(dir, 0), 0u);
  EXPECT_EQ(dir[strlen(dir) - 1], '/');
  char tiny[4];
  EXPECT_FALSE(get_exe_filename(tiny, sizeof(tiny)));
}

TEST(FileTime, MissingIsZeroAndWritesMoveItForward)
{
  std::string n = temp_name("ft");
  EXPECT_EQ(get_file_time(n.c_str()), 0);
  FILE *f = fopen(n.c_str(), "wb");
  ASSERT_TRUE(f);
  fclose(f);
  EXPECT_GT(get_file_time(n.c_str()), 0);
  unlink(n.c_str());
}

TEST(FileStreams, RoundTripAndExceptionsCarryPositions)
{
  std::string n = temp_name("fs");
  {
    FileOutputStream out(n.c_str(), "wb");
    ASSERT_TRUE(out.isOpen());
    out.write("0123456789", 10);
    EXPECT_EQ(out.tell(), 10);
    try
    {
      out.write("x", -1);
      FAIL();
    }
    catch (const OutputStream::Exception &e)
    {
      EXPECT_STREQ(e.message, "negative size in write()");
      EXPECT_EQ(e.position, -1);
    }
  }  // closed by the destructor
  FileInputStream in(n.c_str(), "rb");
  ASSERT_TRUE(in.isOpen());
  char buf[16] = {};
  in.read(buf, 0);
  in.seek(4);
  in.read(buf, 3);
  EXPECT_STREQ(buf, "456");
  in.seekEnd(-2);
  EXPECT_EQ(in.readSome(buf, 16), 2);
  in.seek(6);
  try
  {
    in.read(buf, 8);
    FAIL();
  }
  catch (const InputStream::Exception &e)
  {
    EXPECT_STREQ(e.message, "error reading file");
    EXPECT_EQ(e.position, 10);
  }
  try
  {
    in.seek(-5);
    FAIL();
  }
  catch (const StreamIOException &e)
  {
    EXPECT_STREQ(e.message, "file seek error");
  }
  in.close();
  EXPECT_EQ(in.readSome(buf, 4), 0);
  try
  {
    in.read(buf, 0);
    FAIL();
  }
  catch (const InputStream::Exception &e)
  {
    EXPECT_STREQ(e.message, "file not opened");
    EXPECT_EQ(e.position, -1);
  }
  unlink(n.c_str());
}
