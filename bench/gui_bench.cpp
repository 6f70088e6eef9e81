// The interface runtime on a tree of 1001 elements (a root, 10 panels of 9 rows of 10 items, laid
// out on a 1280 x 720 screen) styled by 12 sheets: a forced restyle (every element matched
// against every sheet), a restyle with nothing dirty, and hit tests at random points, each
// against a plain walk of the tree or a scan of every element's box. Items are elements.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "gui/gui_behaviors.h"
#include "gui/gui_style.h"

namespace
{
struct BenchElement final : BaseGuiElement
{
  const char *cls;
  explicit BenchElement(const char *c) : cls(c) {}
};

struct BenchSelector final : GuiSelector
{
  const char *cls;
  int state, weight;
  BenchSelector(const char *c, int st, int sp) : cls(c), state(st), weight(sp) {}
  bool matches(BaseGuiElement *e) override
  {
    return !strcmp(static_cast<BenchElement *>(e)->cls, cls) && (state < 0 || e->getBool(state));
  }
  int specificity() override { return weight; }
};

constexpr int PANELS = 10, ROWS = 9, ITEMS = 10, NUM = 1 + PANELS * (1 + ROWS * (1 + ITEMS));

struct Tree
{
  GuiStyle style;
  BenchElement root{"root"};
  std::vector<BaseGuiElement *> all{&root};

  Tree()
  {
    register_std_behaviors();
    const char *classes[] = {"root", "panel", "row", "item"};
    for (int i = 0; i < 12; i++)
    {
      GuiPropertyList l;
      l.color(10, 0xFF000000u + uint32_t(i)).num(11, float(10 + i)).float4(20, v_splats(float(i)));
      if (i % 4 == 3)
        l.behaviors("solid_box button").transition(new GuiTimedTransition(0.2f), {10, 12});
      style.addSheet(new BenchSelector(classes[i % 4], i >= 8 ? GUI_PROP_HOVERED : -1, i % 3), l.take());
    }
    root.layout(0, 0, 1280, 720);
    root.addBehavior(gui_hittest_box_handler);
    for (int p = 0; p < PANELS; p++)
    {
      auto *panel = add(&root, "panel", 128.f * float(p), 0, 128.f * float(p + 1), 720);
      for (int r = 0; r < ROWS; r++)
      {
        auto *row = add(panel, "row", panel->rect[0], 80.f * float(r), panel->rect[2], 80.f * float(r + 1));
        for (int i = 0; i < ITEMS; i++)
          add(row, "item", row->rect[0] + 12.8f * float(i), row->rect[1], row->rect[0] + 12.8f * float(i + 1), row->rect[3]);
      }
    }
    style.restyle(&root, true);
  }
  BaseGuiElement *add(BaseGuiElement *parent, const char *cls, float x0, float y0, float x1, float y1)
  {
    auto *e = new BenchElement(cls);
    parent->addChild(e);
    e->layout(x0, y0, x1, y1);
    e->addBehavior(gui_hittest_box_handler);
    all.push_back(e);
    return e;
  }
};

int walk(const BaseGuiElement *e)
{
  int n = 1;
  for (int i = 0; i < e->children.size(); i++)
    n += walk(e->children[i]);
  return n;
}

void BM_GuiTreeWalk(benchmark::State &state)
{
  Tree t;
  for (auto _ : state)
    benchmark::DoNotOptimize(walk(&t.root));
  state.SetItemsProcessed(state.iterations() * NUM);
}

void BM_GuiRestyleForced(benchmark::State &state)
{
  Tree t;
  for (auto _ : state)
    t.style.restyle(&t.root, true);
  state.SetItemsProcessed(state.iterations() * NUM);
}

void BM_GuiRestyleNothingDirty(benchmark::State &state)
{
  Tree t;
  for (auto _ : state)
    t.style.restyle(&t.root, false);
  state.SetItemsProcessed(state.iterations() * NUM);
}

std::vector<std::pair<float, float>> points()
{
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> x(0, 1280), y(0, 720);
  std::vector<std::pair<float, float>> p(256);
  for (auto &q : p)
    q = {x(rng), y(rng)};
  return p;
}

void BM_GuiHitTest(benchmark::State &state)
{
  Tree t;
  auto p = points();
  size_t i = 0;
  for (auto _ : state)
  {
    auto [x, y] = p[i++ & 255];
    benchmark::DoNotOptimize(hit_test(&t.root, x, y));
  }
  state.SetItemsProcessed(state.iterations() * NUM);
}

void BM_GuiBoxScan(benchmark::State &state)
{
  Tree t;
  auto p = points();
  size_t i = 0;
  for (auto _ : state)
  {
    auto [x, y] = p[i++ & 255];
    BaseGuiElement *found = nullptr;
    for (BaseGuiElement *e : t.all)
      if (gui_rect_contains(e, x, y))
        found = e;
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * NUM);
}
}  // namespace

BENCHMARK(BM_GuiTreeWalk);
BENCHMARK(BM_GuiRestyleForced);
BENCHMARK(BM_GuiRestyleNothingDirty);
BENCHMARK(BM_GuiHitTest);
BENCHMARK(BM_GuiBoxScan);
