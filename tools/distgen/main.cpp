// qm_distgen: writes the interface's distance-field font and icon set.
//   qm_distgen OUTDIR FONTFILE [--png PREVIEWDIR]
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace
{
bool write_asset(const std::string &dir, const char *name, const DistAsset &a, DdsFormat fmt, const char *preview)
{
  std::string base = dir + "/" + name;
  std::vector<uint8_t> desc(a.desc.begin(), a.desc.end());
  for (auto [path, bytes] : {std::pair{base + ".txt", desc}, std::pair{base + ".dds", encode_dds(a.image, fmt, true)}})
  {
    if (!write_file_atomic(path, bytes))
    {
      fprintf(stderr, "qm_distgen: can't write '%s': %s\n", path.c_str(), strerror(errno));
      return false;
    }
    printf("qm_distgen: wrote %s\n", path.c_str());
  }
  if (preview)
  {
    std::string png = std::string(preview) + "/" + name + ".png";
    Image opaque = a.image;  // the alpha part would hide the others
    for (Rgba &p : opaque.px)
      p.a = 255;
    if (!stbi_write_png(png.c_str(), opaque.w, opaque.h, 4, opaque.px.data(), opaque.w * 4))
      fprintf(stderr, "qm_distgen: can't write the preview '%s'\n", png.c_str());
  }
  return true;
}
}  // namespace

int main(int argc, char **argv)
{
  bool help = argc == 2 && !strcmp(argv[1], "--help");
  bool preview = argc == 5 && !strcmp(argv[3], "--png");
  if (help || (argc != 3 && !preview))
  {
    fprintf(help ? stdout : stderr,
            "usage: qm_distgen OUTDIR FONTFILE [--png PREVIEWDIR]\n"
            "writes the distance-field font default_font.txt and .dds (from the TrueType file\n"
            "FONTFILE) and the icon set ui_icons.txt and .dds into OUTDIR, and with --png a PNG\n"
            "of each texture into PREVIEWDIR for a look\n");
    return help ? 0 : 2;
  }
  DistAsset font, icons;
  std::string err;
  if (!make_font_asset(argv[2], "default_font", font, err) || !make_icon_asset("ui_icons", icons, err))
  {
    fprintf(stderr, "qm_distgen: %s\n", err.c_str());
    return 1;
  }
  const char *pv = preview ? argv[4] : nullptr;
  if (!write_asset(argv[1], "default_font", font, DdsFormat::L8, pv) ||
      !write_asset(argv[1], "ui_icons", icons, DdsFormat::A8R8G8B8, pv))
    return 1;
  return 0;
}
