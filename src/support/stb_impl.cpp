// The one place where the stb single-header libraries are compiled. Include <stb_image.h> or
// <stb_image_write.h> anywhere else without the implementation macros.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#include <stb_image.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
