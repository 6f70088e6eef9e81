#pragma once
// The device vocabulary of the engine: render states, formats, result codes and primitive types
// numbered as Direct3D 9 numbers them. Renderers and the game object module speak these numbers;
// the OpenGL backend translates them in one place (gl_backend*.cpp).
#include <cstdint>

using HRESULT32 = uint32_t;

constexpr HRESULT32 D3D_OK = 0;
constexpr HRESULT32 S_FALSE_ = 1;  // a query whose answer is not there yet
constexpr HRESULT32 D3DERR_DEVICELOST = 0x88760868u;
constexpr HRESULT32 D3DERR_DEVICENOTRESET = 0x88760869u;
constexpr HRESULT32 D3DERR_NOTAVAILABLE = 0x8876086Au;
constexpr HRESULT32 D3DERR_OUTOFVIDEOMEMORY = 0x8876017Cu;
constexpr HRESULT32 D3DERR_INVALIDCALL = 0x8876086Cu;
constexpr HRESULT32 D3DERR_DRIVERINTERNALERROR = 0x88760827u;

// Formats (D3DFORMAT values).
enum D3dFormat : uint32_t
{
  D3DFMT_UNKNOWN = 0,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_L8 = 50,
  D3DFMT_D24S8 = 75,
  D3DFMT_G16R16 = 34,
  D3DFMT_R16F = 111,
  D3DFMT_G16R16F = 112,
  D3DFMT_A16B16G16R16F = 113,
  D3DFMT_R32F = 114,
  D3DFMT_G32R32F = 115,
  D3DFMT_A32B32G32R32F = 116,
  // Block-compressed formats are four-character codes.
  D3DFMT_DXT1 = 0x31545844,  // "DXT1"
  D3DFMT_DXT3 = 0x33545844,  // "DXT3"
  D3DFMT_DXT5 = 0x35545844,  // "DXT5"
};

// Render states (D3DRENDERSTATETYPE values) the engine uses.
enum D3dRenderState : uint32_t
{
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_STENCILENABLE = 52,
  D3DRS_STENCILFAIL = 53,
  D3DRS_STENCILZFAIL = 54,
  D3DRS_STENCILPASS = 55,
  D3DRS_STENCILFUNC = 56,
  D3DRS_STENCILREF = 57,
  D3DRS_STENCILMASK = 58,
  D3DRS_STENCILWRITEMASK = 59,
  D3DRS_LIGHTING = 137,
  D3DRS_COLORWRITEENABLE = 168,
};

enum D3dBlend : uint32_t
{
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
};

enum D3dCmpFunc : uint32_t
{
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};

enum D3dCull : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3dFill : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };

enum D3dStencilOp : uint32_t
{
  D3DSTENCILOP_KEEP = 1,
  D3DSTENCILOP_ZERO = 2,
  D3DSTENCILOP_REPLACE = 3,
  D3DSTENCILOP_INCRSAT = 4,
  D3DSTENCILOP_DECRSAT = 5,
  D3DSTENCILOP_INVERT = 6,
  D3DSTENCILOP_INCR = 7,
  D3DSTENCILOP_DECR = 8,
};

// Texture stage states (fixed-function combiners; kept as device state, unused by GL shaders).
enum D3dTextureStageState : uint32_t
{
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
};
constexpr uint32_t D3DTOP_MODULATE = 4;
constexpr uint32_t D3DTA_DIFFUSE = 0;
constexpr uint32_t D3DTA_TEXTURE = 2;

enum D3dSamplerState : uint32_t
{
  D3DSAMP_ADDRESSU = 1,
  D3DSAMP_ADDRESSV = 2,
  D3DSAMP_ADDRESSW = 3,
  D3DSAMP_MAGFILTER = 5,
  D3DSAMP_MINFILTER = 6,
  D3DSAMP_MIPFILTER = 7,
};
enum D3dTexAddress : uint32_t
{
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
};
enum D3dTexFilter : uint32_t { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };

enum D3dPrimitiveType : uint32_t
{
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

// Clear flags.
constexpr uint32_t D3DCLEAR_TARGET = 1;
constexpr uint32_t D3DCLEAR_ZBUFFER = 2;
constexpr uint32_t D3DCLEAR_STENCIL = 4;

// Fixed vertex format bits used for drawing from memory.
constexpr uint32_t D3DFVF_XYZ = 0x002;
constexpr uint32_t D3DFVF_DIFFUSE = 0x040;

// Usage and pool of textures.
constexpr uint32_t D3DUSAGE_RENDERTARGET = 0x1;
constexpr uint32_t D3DUSAGE_DYNAMIC = 0x200;
constexpr uint32_t D3DPOOL_DEFAULT = 0;
constexpr uint32_t D3DPOOL_MANAGED = 1;

// Stream frequency settings for instancing.
constexpr uint32_t D3DSTREAMSOURCE_INDEXEDDATA = 1u << 30;
constexpr uint32_t D3DSTREAMSOURCE_INSTANCEDATA = 2u << 30;

constexpr uint32_t D3DPRESENT_INTERVAL_ONE = 0x1;
constexpr uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;
constexpr uint32_t D3DSWAPEFFECT_DISCARD = 1;

enum D3dTransform : uint32_t { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3 };

struct D3dViewport
{
  uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.f, maxZ = 1.f;
};

// A 4x4 matrix in row-vector convention (a point is multiplied on the left), rows m[0..3].
struct D3dMatrix
{
  float m[4][4] = {};
};

// Vertex declaration element types and usages (D3DDECLTYPE, D3DDECLUSAGE values).
enum D3dDeclType : uint8_t
{
  D3DDECLTYPE_FLOAT1 = 0,
  D3DDECLTYPE_FLOAT2 = 1,
  D3DDECLTYPE_FLOAT3 = 2,
  D3DDECLTYPE_FLOAT4 = 3,
  D3DDECLTYPE_D3DCOLOR = 4,
  D3DDECLTYPE_SHORT2 = 6,
  D3DDECLTYPE_SHORT4 = 7,
  D3DDECLTYPE_UNUSED = 17,
};
enum D3dDeclUsage : uint8_t
{
  D3DDECLUSAGE_POSITION = 0,
  D3DDECLUSAGE_NORMAL = 3,
  D3DDECLUSAGE_TEXCOORD = 5,
  D3DDECLUSAGE_TANGENT = 6,
  D3DDECLUSAGE_COLOR = 10,
};
constexpr uint8_t D3DDECLMETHOD_DEFAULT = 0;

// One element of a vertex declaration (D3DVERTEXELEMENT9); a list ends with D3DDECL_END.
struct D3dVertexElement
{
  uint16_t stream;
  uint16_t offset;
  uint8_t type;
  uint8_t method;
  uint8_t usage;
  uint8_t usageIndex;
};
constexpr D3dVertexElement D3DDECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};
