#pragma once
// Plain water step, one cell at a time in visiting order, depths moved in place. The optimised
// HeightmapData::simWater must reproduce it bit for bit.
void ref_sim_water(float dt);
// Plain maximum of the surface over a square, by the same candidates.
float ref_square_max(float x, float z, float half_size, bool with_water);
