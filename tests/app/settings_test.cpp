#include "app/settings.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings_file.h"
#include "temp_config_dir.h"

using Settings = TempConfigDir;

TEST_F(Settings, NothingStoredReadsFalse)
{
  int v = 7;
  char buf[16] = "keep";
  EXPECT_FALSE(get_config_int("flags", v));
  EXPECT_FALSE(get_config_str("gfx_quality", buf, sizeof(buf)));
  EXPECT_EQ(v, 7);
  EXPECT_STREQ(buf, "keep");
  EXPECT_FALSE(std::filesystem::exists(dir));  // reading creates nothing
}

TEST_F(Settings, RoundTripsAndTypeMismatches)
{
  ASSERT_TRUE(set_config_int("flags", 13));
  ASSERT_TRUE(set_config_int("land_shadows", -1));
  ASSERT_TRUE(set_config_str("gfx_quality", "high"));
  EXPECT_EQ(contents(), "flags=dword:0000000d\nland_shadows=dword:ffffffff\ngfx_quality=\"high\"\n");

  int v = 0;
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 13);
  EXPECT_TRUE(get_config_int("LAND_SHADOWS", v));  // names ignore case
  EXPECT_EQ(v, -1);
  char buf[32] = {};
  EXPECT_TRUE(get_config_str("gfx_quality", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "high");

  // The wrong type is as good as absent, and leaves the output alone.
  v = 99;
  EXPECT_FALSE(get_config_int("gfx_quality", v));
  EXPECT_EQ(v, 99);
  memset(buf, 0, sizeof(buf));
  EXPECT_FALSE(get_config_str("flags", buf, sizeof(buf)));
  EXPECT_STREQ(buf, "");

  // Overwriting replaces the value in place, keeping one line per name, even across types.
  ASSERT_TRUE(set_config_str("FLAGS", "x"));
  ASSERT_TRUE(set_config_int("gfx_quality", 0));
  EXPECT_EQ(contents(), "FLAGS=\"x\"\nland_shadows=dword:ffffffff\ngfx_quality=dword:00000000\n");
  EXPECT_FALSE(get_config_int("flags", v));
  EXPECT_TRUE(get_config_int("gfx_quality", v));
  EXPECT_EQ(v, 0);
}

TEST_F(Settings, StringsLongerThanTheBufferAreNotRead)
{
  ASSERT_TRUE(set_config_str("name", "0123456789"));
  char buf[11];
  memset(buf, 'z', sizeof(buf));
  EXPECT_TRUE(get_config_str("name", buf, 11));  // ten bytes and the terminator fit
  EXPECT_STREQ(buf, "0123456789");
  memset(buf, 'z', sizeof(buf));
  EXPECT_FALSE(get_config_str("name", buf, 10));
  EXPECT_EQ(buf[0], 'z');
  EXPECT_FALSE(get_config_str("name", buf, 0));
  EXPECT_FALSE(get_config_str("name", buf, -5));

  // The stored length: explicit, whole text when negative, never past the terminator.
  ASSERT_TRUE(set_config_str("a", "abcdef", 3));
  ASSERT_TRUE(set_config_str("b", "ab\0cd", 5));
  ASSERT_TRUE(set_config_str("c", "", -1));
  char s[8];
  EXPECT_TRUE(get_config_str("a", s, sizeof(s)));
  EXPECT_STREQ(s, "abc");
  EXPECT_TRUE(get_config_str("b", s, sizeof(s)));
  EXPECT_STREQ(s, "ab");
  EXPECT_TRUE(get_config_str("c", s, 1));
  EXPECT_STREQ(s, "");
}

TEST_F(Settings, QuotesLineBreaksAndControlCharactersAreEscaped)
{
  const char *text = "say \"hi\"\\\nnext line\r\tend\x01 \xC3\xA9";
  ASSERT_TRUE(set_config_str("odd", text));
  ASSERT_TRUE(set_config_int("after", 5));
  std::string c = contents();
  EXPECT_EQ(std::count(c.begin(), c.end(), '\n'), 2);
  EXPECT_NE(c.find(R"(odd="say \"hi\"\\\nnext line\r\tend\x01 )"), std::string::npos) << c;
  char buf[64] = {};
  EXPECT_TRUE(get_config_str("odd", buf, sizeof(buf)));
  EXPECT_STREQ(buf, text);
  int v;
  EXPECT_TRUE(get_config_int("after", v));
  EXPECT_EQ(v, 5);
}

TEST_F(Settings, NamesThatCannotBeStoredAreRefused)
{
  for (const char *name : {"", "a=b", "a\nb", " lead", "trail ", "#x", "[x]"})
  {
    EXPECT_FALSE(set_config_int(name, 1)) << name;
    int v;
    EXPECT_FALSE(get_config_int(name, v)) << name;
  }
  EXPECT_FALSE(set_config_int(nullptr, 1));
  EXPECT_FALSE(set_config_str("x", nullptr, 3));
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(Settings, UnreadableLinesAreSkippedAndKept)
{
  writeFile("# hand-edited\n"
            "[Quenmoor]\n"
            "garbage without equals\n"
            "flags=dword:123456789\n"   // nine digits
            "flags = dword:0000000B \r\n"  // spaces and CRLF are fine
            "gfx_quality=\"unterminated\n"
            "land_shadows=\"bad \\q escape\"\n"
            "nul=\"a\\x00b\"\n"
            "x=\"tail\" junk\n"
            "\x01\xff\xfe binary\n"
            "last=dword:1");
  int v = 0;
  EXPECT_TRUE(get_config_int("flags", v));
  EXPECT_EQ(v, 11);
  EXPECT_TRUE(get_config_int("last", v));
  EXPECT_EQ(v, 1);
  char buf[32] = {};
  EXPECT_FALSE(get_config_str("gfx_quality", buf, sizeof(buf)));
  EXPECT_FALSE(get_config_int("land_shadows", v));
  EXPECT_FALSE(get_config_str("nul", buf, sizeof(buf)));
  EXPECT_FALSE(get_config_str("x", buf, sizeof(buf)));

  // A write replaces every line of its name and keeps the rest as they were.
  ASSERT_TRUE(set_config_int("flags", 2));
  ASSERT_TRUE(set_config_str("gfx_quality", "low"));
  EXPECT_EQ(contents(), "# hand-edited\n"
                        "[Quenmoor]\n"
                        "garbage without equals\n"
                        "flags=dword:00000002\n"
                        "gfx_quality=\"low\"\n"
                        "land_shadows=\"bad \\q escape\"\n"
                        "nul=\"a\\x00b\"\n"
                        "x=\"tail\" junk\n"
                        "\x01\xff\xfe binary\n"
                        "last=dword:1\n");
}

TEST_F(Settings, AWriteKeepsTheLineBreaksOfOtherLines)
{
  // The second carriage return belongs to the line, which is unreadable ("high" is followed by
  // junk); rewritten with a plain CRLF it would read as "high".
  writeFile("gfx_quality=\"high\" \r\r\n"
            "a=dword:1\r\n"
            "b=\"x\"\r");
  char buf[32] = {};
  EXPECT_FALSE(get_config_str("gfx_quality", buf, sizeof(buf)));
  ASSERT_TRUE(set_config_str("fuzz_key", "v"));
  EXPECT_FALSE(get_config_str("gfx_quality", buf, sizeof(buf)));
  EXPECT_EQ(contents(), "gfx_quality=\"high\" \r\r\n"
                        "a=dword:1\r\n"
                        "b=\"x\"\r\n"
                        "fuzz_key=\"v\"\n");
}

TEST_F(Settings, AFailedWriteLeavesTheOldFileIntact)
{
  ASSERT_TRUE(set_config_int("flags", 1));
  std::string before = contents();
  // Something in the way of the temporary file: the write fails even for root.
  std::string tmp = file() + "." + std::to_string(getpid()) + ".tmp";
  std::filesystem::create_directory(tmp);
  EXPECT_FALSE(set_config_int("flags", 2));
  EXPECT_EQ(contents(), before);
  std::filesystem::remove(tmp);

  // A directory that cannot be written (permissions do not bind root).
  if (geteuid() != 0)
  {
    chmod(dir.c_str(), 0500);
    EXPECT_FALSE(set_config_int("flags", 3));
    EXPECT_FALSE(set_config_str("more", "x"));
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(contents(), before);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

  // A write that would grow the file past what a read accepts is refused; all stays readable.
  std::string big(SETTINGS_FILE_MAX - 7 - int(before.size()), 'x');  // big="...": one full file
  ASSERT_TRUE(set_config_str("big", big.c_str()));
  EXPECT_EQ(contents().size(), size_t(SETTINGS_FILE_MAX));
  before = contents();
  EXPECT_FALSE(set_config_int("more", 1));
  EXPECT_EQ(contents(), before);
  std::vector<char> back(big.size() + 1);
  EXPECT_TRUE(get_config_str("big", back.data(), int(back.size())));
  EXPECT_TRUE(set_config_int("flags", 5));  // same size: still fits

  // A settings file too large to be one is neither read nor replaced.
  writeFile(std::string(SETTINGS_FILE_MAX + 1, '#'));
  int v;
  EXPECT_FALSE(get_config_int("flags", v));
  EXPECT_FALSE(set_config_int("flags", 4));
  EXPECT_EQ(std::filesystem::file_size(file()), uintmax_t(SETTINGS_FILE_MAX + 1));
}

TEST_F(Settings, NoUsableDirectoryFailsCleanly)
{
  writeFile("");
  setenv("QUENMOOR_CONFIG_DIR", file().c_str(), 1);  // a file where the directory should be
  EXPECT_FALSE(set_config_int("flags", 1));
  int v;
  EXPECT_FALSE(get_config_int("flags", v));
}

TEST_F(Settings, ConcurrentWritersLoseNothing)
{
  constexpr int WRITERS = 4, EACH = 8;
  pid_t pids[WRITERS];
  for (int w = 0; w < WRITERS; w++)
  {
    pids[w] = fork();
    ASSERT_GE(pids[w], 0);
    if (pids[w] == 0)
    {
      bool ok = true;
      for (int i = 0; i < EACH; i++)
        ok = set_config_int(("w" + std::to_string(w) + "_" + std::to_string(i)).c_str(), w * 100 + i) && ok;
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t p : pids)
  {
    int status = 0;
    waitpid(p, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < WRITERS; w++)
    for (int i = 0; i < EACH; i++)
    {
      int v = -1;
      EXPECT_TRUE(get_config_int(("w" + std::to_string(w) + "_" + std::to_string(i)).c_str(), v));
      EXPECT_EQ(v, w * 100 + i);
    }
}

TEST(SettingsPath, FollowsTheXdgRules)
{
  struct EnvGuard
  {
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    const char *xdg = getenv("XDG_CONFIG_HOME");
    std::string xdg_saved = xdg ? xdg : "";
    ~EnvGuard()
    {
      setenv("HOME", home.c_str(), 1);
      if (xdg)
        setenv("XDG_CONFIG_HOME", xdg_saved.c_str(), 1);
      else
        unsetenv("XDG_CONFIG_HOME");
      unsetenv("QUENMOOR_CONFIG_DIR");
    }
  } guard;
  char path[1200];
  unsetenv("QUENMOOR_CONFIG_DIR");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  ASSERT_TRUE(settings_file_path(path, sizeof(path)));
  EXPECT_STREQ(path, "/cfg/Obrelwick Games/Quenmoor/settings.ini");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // only absolute paths count
  setenv("HOME", "/home/u", 1);
  ASSERT_TRUE(settings_file_path(path, sizeof(path)));
  EXPECT_STREQ(path, "/home/u/.config/Obrelwick Games/Quenmoor/settings.ini");
  setenv("QUENMOOR_CONFIG_DIR", "/x", 1);
  ASSERT_TRUE(settings_file_path(path, sizeof(path)));
  EXPECT_STREQ(path, "/x/settings.ini");
}
