// Trails: 4000 fixed slots on a free list, each a ring of the 16 newest points of a ribbon.
#include <cmath>

#include "support/debug.h"
#include "world_render/common_fx.h"

static TrailSlot *live_trail(int handle)
{
  if (handle < 0 || handle >= MAX_TRAILS)
    return nullptr;
  TrailSlot &tr = common_fx.trails[handle];
  return tr.count > 0 ? &tr : nullptr;
}

static void free_trail(int handle)
{
  TrailSlot &tr = common_fx.trails[handle];
  tr.count = 0;
  tr.head = 0;
  tr.stopping = false;
  tr.nextFree = common_fx.trailFreeHead;
  common_fx.trailFreeHead = handle;
}

static void push_point(TrailSlot &tr, vec4f pos, vec4f vel, vec4f side)
{
  const int prev = tr.head;
  tr.head = tr.head == 0 ? TRAIL_POINTS - 1 : tr.head - 1;
  TrailPoint &p = tr.pts[tr.head];
  if (tr.count > 0)
  {
    const vec4f anchor = tr.pts[prev].prevPos;
    tr.count = tr.count + 1 < TRAIL_POINTS ? tr.count + 1 : TRAIL_POINTS;
    p.pos = wrap_offset(pos, anchor);
    p.prevPos = anchor;
  }
  else
  {
    tr.count = 1;
    p.pos = p.prevPos = pos;
  }
  p.side = side;
  p.vel = vel;
  p.color = tr.color;
}

int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float headSize, D3dColor color)
{
  const int handle = common_fx.trailFreeHead;
  if (handle < 0)
    return -1;
  TrailSlot &tr = common_fx.trails[handle];
  G_ASSERT(!(tr.count > 0));
  common_fx.trailFreeHead = tr.nextFree;
  tr.nextFree = -1;
  tr.headSize = headSize;
  tr.color = color;
  tr.stopping = false;
  push_point(tr, pos, vel, side);
  return handle;
}

void add_trail_point(int handle, vec4f pos, vec4f vel, vec4f side)
{
  if (TrailSlot *tr = live_trail(handle))
    push_point(*tr, pos, vel, side);
}

void set_trail_color(int handle, D3dColor color)
{
  if (TrailSlot *tr = live_trail(handle))
    tr->color = color;
}

void stop_trail_fx(int handle)
{
  if (TrailSlot *tr = live_trail(handle))
    tr->stopping = true;
}

void kill_trail_fx(int handle)
{
  if (live_trail(handle))
    free_trail(handle);
}

void update_trails(float dt)
{
  for (int i = 0; i < MAX_TRAILS; i++)
  {
    TrailSlot &tr = common_fx.trails[i];
    if (tr.count <= 0)
      continue;
    if (tr.stopping && --tr.count == 0)
    {
      free_trail(i);
      continue;
    }
    // Keeps the ribbon near the world's first copy: the newest point's x and z into [0, 256).
    const float x = v_extract_x(tr.pts[tr.head].pos), z = v_extract_z(tr.pts[tr.head].pos);
    auto into_world = [](float c) {
      const float q = c / 256.f + 16.f;
      return (q - std::floor(q)) * 256.f - c;
    };
    const vec4f offset = v_make(into_world(x), 0.f, into_world(z), 0.f);
    for (int k = 0, j = tr.head; k < tr.count; k++, j = (j + 1) % TRAIL_POINTS)
    {
      TrailPoint &p = tr.pts[j];
      p.prevPos = p.pos + offset;
      p.pos = p.pos + p.vel * dt + offset;
    }
  }
}
