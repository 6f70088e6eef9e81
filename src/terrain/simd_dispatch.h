#pragma once
// Choice between the three paths of the terrain code: four-wide (SSE2, every x86-64), eight-wide
// (AVX2) and, for the hottest water loops, sixteen-wide (AVX-512F). Every path runs the same IEEE
// single-precision operations lane by lane, so all three give bit-identical results; tests switch
// the wider paths off to compare them.

// True when the processor has AVX2 and terrain_allow_avx2 is set.
bool terrain_use_avx2();
// Set to false to force the four-wide paths.
extern bool terrain_allow_avx2;
// True when the AVX2 paths are used, the processor also has AVX-512F and terrain_allow_avx512 is
// set: the hottest loops then run sixteen lanes wide.
bool terrain_use_avx512();
// Set to false to keep to the eight-wide paths.
extern bool terrain_allow_avx512;
