// qm_fontgen: writes the debug font "font.tga" from a TrueType font.
//   qm_fontgen OUTDIR FONTFILE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "debug_font.h"

int main(int argc, char **argv)
{
  if (argc != 3)
  {
    const bool help = argc == 2 && !strcmp(argv[1], "--help");
    fprintf(help ? stdout : stderr,
            "usage: qm_fontgen OUTDIR FONTFILE\n"
            "renders the debug font's 16 x 16 character cells from FONTFILE (a TrueType font)\n"
            "and writes them to OUTDIR/font.tga\n");
    return help ? 0 : 2;
  }
  std::string error;
  Image img = make_debug_font(argv[2], error);
  if (img.px.empty())
  {
    fprintf(stderr, "qm_fontgen: %s\n", error.c_str());
    return 1;
  }
  const std::string path = std::string(argv[1]) + "/font.tga";
  if (!write_file_atomic(path, encode_tga(img)))
  {
    fprintf(stderr, "qm_fontgen: can't write '%s': %s\n", path.c_str(), strerror(errno));
    return 1;
  }
  printf("qm_fontgen: wrote %s\n", path.c_str());
  return 0;
}
