#pragma once
// The two families of meshes the tool builds.
#include <vector>

#include "mesh_builder.h"

// The 19 house and castle pieces, in the order of the house piece letters 'a'..'s'.
std::vector<NamedMesh> build_house_meshes();
// Stones, menhirs, the mana gatherer, the bird and the wyvern.
std::vector<NamedMesh> build_creature_meshes();
