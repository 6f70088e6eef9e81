#pragma once
// The folder a tool writes its files into.
#include <cstddef>

// Creates `dir` with every missing parent (as mkdir -p) and checks that a file can be created in
// it (a probe file, removed again). On failure returns false with the reason in `why`, for
// example "can't create the directory 'out/a': Permission denied".
bool prepare_output_dir(const char *dir, char *why, size_t why_size);
