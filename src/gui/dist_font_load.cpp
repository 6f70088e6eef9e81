// The font description: parsing and loading.
#include <cstring>
#include <string>

#include "gui/dist_font.h"
#include "render/texture_cache.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

DistFont::DistFont()
{
  memset(glyphOfCode, 0xff, sizeof(glyphOfCode));
  memset(groupOfCode, 0xff, sizeof(groupOfCode));
}

DistFont::~DistFont() { clear(); }

void DistFont::clear()
{
  state.reset();
  free_texture(texture);
  texture = nullptr;
  size = spread = lineHeight = 0;
  invScaleW = invScaleH = 0;
  glyphs.clear();
  ranges.clear();
  kernings.clear();
  kerningGroups.clear();
  memset(glyphOfCode, 0xff, sizeof(glyphOfCode));
  memset(groupOfCode, 0xff, sizeof(groupOfCode));
}

bool DistFont::parse(DescLines &lines, char (&page)[256])
{
  // The next line, or the reason there is none.
  const int IM = DIST_DESC_INT_MAX;
  const float FM = DIST_DESC_FLOAT_MAX;
  char face[256];
  int scaleW = 0, scaleH = 0, count = 0;

  if (!lines.next("missing info line"))
    return false;
  if (!LineScan(lines.line).lit("info face=\"").name(face, sizeof(face)).lit("\" size=").num(size, 1, IM)
           .lit(" spread=").num(spread, 1, IM).ok)
    return lines.fail("expected 'info face=\"NAME\" size=N spread=N' (size and spread 1..65536)");

  if (!lines.next("missing common line"))
    return false;
  if (!LineScan(lines.line).lit("common lineHeight=").num(lineHeight, -IM, IM).lit(" base=0 scaleW=")
           .num(scaleW, 1, IM).lit(" scaleH=").num(scaleH, 1, IM).ok)
    return lines.fail("expected 'common lineHeight=N base=0 scaleW=N scaleH=N' (scales 1..65536)");
  invScaleW = 1.0f / float(scaleW);
  invScaleH = 1.0f / float(scaleH);

  if (!lines.next("missing page line"))
    return false;
  if (!LineScan(lines.line).lit("page id=0 file=\"").name(page, sizeof(page)).lit("\"").ok)
    return lines.fail("expected 'page id=0 file=\"NAME\"'");

  if (!lines.next("missing chars line"))
    return false;
  if (!LineScan(lines.line).lit("chars count=").num(count, 0, DIST_DESC_COUNT_MAX).ok)
    return lines.fail("expected 'chars count=N' (0..65536)");
  glyphs.reserve(count);
  for (int i = 0; i < count; i++)
  {
    if (!lines.next("fewer char lines than counted"))
      return false;
    int id = 0;
    DistGlyph g;
    if (!LineScan(lines.line).lit("char id=").num(id, 0, DIST_DESC_CODE_MAX).lit(" x=").num(g.x, FM)
             .lit(" y=").num(g.y, FM).lit(" width=").num(g.width, FM).lit(" height=").num(g.height, FM)
             .lit(" xoffset=").num(g.xoffset, FM).lit(" yoffset=").num(g.yoffset, FM)
             .lit(" xadvance=").num(g.xadvance, FM).ok ||
        g.width < 0 || g.height < 0)
      return lines.fail("expected 'char id=N x=F y=F width=F height=F xoffset=F yoffset=F xadvance=F' "
                 "(id 0..1114111, sizes not negative)");
    g.x *= invScaleW;
    g.y *= invScaleH;
    if (ranges.num && ranges.back().end == id)
      ranges.back().end++;
    else
      ranges.push_back({id, id + 1, glyphs.num});
    if (id < 256 && glyphOfCode[id] < 0)
      glyphOfCode[id] = glyphs.num;
    glyphs.push_back(g);
  }

  if (!lines.next("missing kernings line"))
    return false;
  if (!LineScan(lines.line).lit("kernings count=").num(count, 0, DIST_DESC_COUNT_MAX).ok)
    return lines.fail("expected 'kernings count=N' (0..65536)");
  kernings.reserve(count);
  for (int i = 0; i < count; i++)
  {
    if (!lines.next("fewer kerning lines than counted"))
      return false;
    int first = 0;
    DistKerning k;
    if (!LineScan(lines.line).lit("kerning first=").num(first, 0, DIST_DESC_CODE_MAX).lit(" second=")
             .num(k.second, 0, DIST_DESC_CODE_MAX).lit(" amount=").num(k.amount, FM).ok)
      return lines.fail("expected 'kerning first=N second=N amount=F' (codes 0..1114111)");
    if (kerningGroups.num && kerningGroups.back().first == first)
      kerningGroups.back().count++;
    else
    {
      if (first < 256 && groupOfCode[first] < 0)
        groupOfCode[first] = kerningGroups.num;
      kerningGroups.push_back({first, kernings.num, 1});
    }
    kernings.push_back(k);
  }
  return true;
}

bool DistFont::load(const char *name)
{
  clear();
  TempString<260> path = make_full_path(name);
  std::string text;
  int err = 0;
  if (!read_file(path.str, 16 << 20, text, err))
  {
    debug("can't load font '%s': %s", path.str[0] ? path.str : name, file_error_text(err));
    return false;
  }
  char page[256] = {};
  DescLines lines(text.data(), text.size());
  if (!parse(lines, page))
  {
    debug("can't load font '%s': line %d: %s", path.str, lines.bad_line, lines.why);
    clear();
    return false;
  }
  std::string tex_name = std::string(page) + ".dds";
  texture = get_texture(tex_name.c_str(), false);
  if (!texture)
  {
    debug("can't load font '%s': no texture from '%s'", path.str, tex_name.c_str());
    clear();
    return false;
  }
  init_dist_font_state(state, texture);
  return true;
}
