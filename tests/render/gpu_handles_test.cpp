// Backend handles of one kind never stand in for another kind or for an integer: these checks
// hold when the file compiles.
#include <cstdint>
#include <type_traits>

#include "render/backend.h"

namespace
{
// H converts to no other kind, to no integer, and no integer converts to it.
template <class H, class... Kinds>
constexpr bool stands_alone =
    !std::is_convertible_v<H, uint32_t> && !std::is_convertible_v<H, bool> &&
    !std::is_convertible_v<uint32_t, H> && !std::is_convertible_v<int, H> &&
    ((std::is_same_v<H, Kinds> || !std::is_convertible_v<H, Kinds>) && ...);
template <class... Kinds>
constexpr bool all_stand_alone = (stands_alone<Kinds, Kinds...> && ...);

static_assert(all_stand_alone<TextureHandle, SurfaceHandle, BufferHandle, QueryHandle,
                              ShaderHandle, VertexDeclHandle>);

// The interface itself: a call with the wrong kind does not compile.
template <class H>
constexpr bool binds_as_texture = requires(RenderBackend &b, H h) { b.setTexture(0, h); };
template <class H>
constexpr bool releases_as_buffer = requires(RenderBackend &b, H h) { b.releaseBuffer(h); };
template <class H>
constexpr bool binds_as_depth = requires(RenderBackend &b, H h) { b.setDepthStencilSurface(h); };

static_assert(binds_as_texture<TextureHandle> && !binds_as_texture<BufferHandle> &&
              !binds_as_texture<SurfaceHandle> && !binds_as_texture<uint32_t>);
static_assert(releases_as_buffer<BufferHandle> && !releases_as_buffer<TextureHandle> &&
              !releases_as_buffer<VertexDeclHandle> && !releases_as_buffer<int>);
static_assert(binds_as_depth<SurfaceHandle> && !binds_as_depth<TextureHandle> &&
              !binds_as_depth<QueryHandle>);
}  // namespace
