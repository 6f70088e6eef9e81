// qm_texgen: writes the game's procedural textures as DDS files.
//   qm_texgen OUTDIR
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "image.h"
#include "textures.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace
{
// The colour channels over black, and the alpha channel as grey beside them.
bool write_png(const std::string &path, const Image &img)
{
  Image out(img.w * 2, img.h);
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++)
    {
      Rgba p = img.at(x, y);
      out.at(x, y) = Rgba{p.r, p.g, p.b, 255};
      out.at(img.w + x, y) = Rgba{p.a, p.a, p.a, 255};
    }
  return stbi_write_png(path.c_str(), out.w, out.h, 4, out.px.data(), out.w * 4) != 0;
}

struct Output
{
  const char *name;
  Image (*make)();
  DdsFormat format;
};

const Output outputs[] = {
    {"detail.dds", make_detail_texture, DdsFormat::DXT5},
    {"foam.dds", make_foam_texture, DdsFormat::A8R8G8B8},
    {"blendfx.dds", make_blendfx_atlas, DdsFormat::DXT5},
    {"glowfx.dds", make_glowfx_atlas, DdsFormat::DXT1},
};
}  // namespace

int main(int argc, char **argv)
{
  bool help = argc == 2 && !strcmp(argv[1], "--help");
  bool preview = argc == 4 && !strcmp(argv[2], "--png");
  if (help || (argc != 2 && !preview))
  {
    fprintf(help ? stdout : stderr,
            "usage: qm_texgen OUTDIR [--png PREVIEWDIR]\n"
            "writes detail.dds, foam.dds, blendfx.dds, glowfx.dds and icon.png into OUTDIR,\n"
            "and with --png a PNG of each top level into PREVIEWDIR for a look\n");
    return help ? 0 : 2;
  }
  for (const Output &o : outputs)
  {
    std::string path = std::string(argv[1]) + "/" + o.name;
    Image img = o.make();
    if (preview && !write_png(std::string(argv[3]) + "/" + o.name + ".png", img))
      fprintf(stderr, "qm_texgen: can't write the preview of %s\n", o.name);
    if (!write_file_atomic(path, encode_dds(img, o.format, true)))
    {
      fprintf(stderr, "qm_texgen: can't write '%s': %s\n", path.c_str(), strerror(errno));
      return 1;
    }
    printf("qm_texgen: wrote %s\n", path.c_str());
  }
  Image icon = make_icon();
  std::string iconPath = std::string(argv[1]) + "/icon.png";
  std::string tmp = iconPath + ".tmp";
  if (!stbi_write_png(tmp.c_str(), icon.w, icon.h, 4, icon.px.data(), icon.w * 4) ||
      rename(tmp.c_str(), iconPath.c_str()) != 0)
  {
    fprintf(stderr, "qm_texgen: can't write '%s'\n", iconPath.c_str());
    return 1;
  }
  printf("qm_texgen: wrote %s\n", iconPath.c_str());
  return 0;
}
