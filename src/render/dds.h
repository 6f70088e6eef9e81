#pragma once
// DDS file parsing for the subset the engine loads: 2D textures (no cube maps, no volumes) in
// DXT1, DXT3, DXT5, A8R8G8B8, X8R8G8B8 or L8, with or without a mip chain. Pure functions over
// bytes, so that any file can be checked (and fuzzed) without a device.
#include <cstddef>
#include <cstdint>

constexpr uint32_t DDS_HEADER_BYTES = 4 + 124;

struct DdsInfo
{
  uint32_t width = 0, height = 0;
  uint32_t levels = 0;  // mip levels present in the file, 1.. log2(max(width, height)) + 1
  uint32_t format = 0;  // D3DFMT_*
  uint32_t block_bytes = 0;  // 8 or 16 for block formats, 0 otherwise
  uint32_t pixel_bytes = 0;  // 4 or 1 for uncompressed formats, 0 otherwise
  uint64_t data_bytes = 0;   // all levels, packed one after the other after the header
};

// Parses and validates the header of `size` bytes at `data`: true only for a file of the
// supported subset that holds every byte of every level its header announces.
bool parse_dds(const uint8_t *data, size_t size, DdsInfo &out);

// Size of mip level `level` (0 = top) in texels and in bytes; rows are packed (rows of 4x4 blocks
// for block formats).
uint32_t dds_level_dim(uint32_t top, uint32_t level);
uint64_t dds_level_bytes(const DdsInfo &info, uint32_t level);
// Bytes of one row of level `level` as stored in the file (a row of blocks for block formats),
// and the number of such rows.
uint64_t dds_level_row_bytes(const DdsInfo &info, uint32_t level);
uint32_t dds_level_rows(const DdsInfo &info, uint32_t level);

// Copies level `level` whose file data starts at `src` into a locked level at `dst`, advancing
// by `dst_pitch` from one row (of blocks) to the next.
void dds_copy_level(const DdsInfo &info, uint32_t level, const uint8_t *src, uint8_t *dst,
                    uint32_t dst_pitch);
