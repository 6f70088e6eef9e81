#include "script_test_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "support/file_path.h"

TempAppDir::TempAppDir()
{
  const char *base = getenv("QM_TEST_TMP");
  std::string root = base ? base : "/tmp";
  std::filesystem::create_directories(root);
  std::string tmpl = root + "/qm_script_XXXXXX";
  char buf[512];
  snprintf(buf, sizeof(buf), "%s", tmpl.c_str());
  if (!mkdtemp(buf))
    abort();
  dir = std::string(buf) + "/";
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s", dir.c_str());
}

TempAppDir::~TempAppDir()
{
  memcpy(app_path, saved, sizeof(saved));
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

void TempAppDir::write(const char *name, const std::string &text) const
{
  std::string p = path(name);
  std::filesystem::create_directories(std::filesystem::path(p).parent_path());
  FILE *f = fopen(p.c_str(), "wb");
  ASSERT_TRUE(f);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

void TempAppDir::touch(const char *name, int seconds) const
{
  std::string p = path(name);
  struct stat st;
  ASSERT_EQ(stat(p.c_str(), &st), 0);
  struct timespec t[2] = {st.st_atim, st.st_mtim};
  t[1].tv_sec += seconds;
  ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}
