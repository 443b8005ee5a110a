// Plain value types of the software rasterizer's interface: geometry, camera,
// lights, fog, targets and per-draw state. Nothing here owns memory except
// the texture handle in a draw; arrays are borrowed for the duration of the
// call that receives them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace kv::raster {

class Texture;

struct Vec2 {
  float u = 0, v = 0;
};
struct Vec3 {
  float x = 0, y = 0, z = 0;
};
struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
};
struct ColorF {
  float r = 0, g = 0, b = 0;
};

// Row-vector matrix: p' = p·M, translation in row 3, last column (0,0,0,1)
// for affine transforms. Composition reads left to right: p·A·B applies A first.
struct Matrix {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

enum class Status {
  Ok,
  InvalidArgument,  // a value or array the call cannot use; nothing was changed
  InvalidState,     // the call does not fit the frame sequence (Draw outside a frame, ...)
  TooLarge,         // a size beyond the rasterizer's limits
};

struct Result {
  Status status = Status::Ok;
  const char* message = "";  // what went wrong, for people; empty when Ok
  explicit operator bool() const { return status == Status::Ok; }
};

// ---- Camera and projection ----------------------------------------------------

enum class ProjectionType { Perspective = 0, Orthographic = 1 };

struct Projection {
  ProjectionType type = ProjectionType::Perspective;
  float front = 1.0f;  // distance of the front clipping plane, > 0
  float back = 100.0f; // distance of the back clipping plane, > front
  // The view window on the front plane, in camera units.
  float left = -0.5f, right = 0.5f, bottom = -0.5f, top = 0.5f;
  // One scale for x and y: the window's larger side fits the viewport's
  // larger side. Otherwise the window fills the viewport exactly.
  bool uniformScaling = true;
  // Right-handed: camera-space x is mirrored and counter-clockwise faces are
  // the front faces.
  bool rightHanded = false;
};

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct View {
  Matrix worldToCamera;  // the inverse of the camera frame's world matrix
  Projection projection;
  Rect viewport;         // pixels of the target, y down
};

// ---- Lights, fog, materials ---------------------------------------------------

// Values match the retained-mode light type numbers.
enum class LightType { Ambient = 0, Point = 1, Spot = 2, Directional = 3, ParallelPoint = 4 };

struct Light {
  LightType type = LightType::Directional;
  ColorF color{1, 1, 1};
  Vec3 position;             // world; point, spot and parallel point lights
  Vec3 direction{0, 0, 1};   // world; the light frame's +z (directional, spot)
  float constantAttenuation = 1.0f;
  float linearAttenuation = 0.0f;
  float quadraticAttenuation = 0.0f;
  float range = 3.4e38f;     // no light from point and spot lights beyond it
  float umbra = 0.4f;        // full cone angle of the fully lit core, radians
  float penumbra = 0.5f;     // full cone angle where the light reaches zero
};

// Values match the retained-mode fog mode numbers.
enum class FogMode { Linear = 0, Exponential = 1, ExponentialSquared = 2 };

struct Fog {
  bool enabled = false;
  FogMode mode = FogMode::Linear;
  std::uint32_t color = 0xff000000;  // 0xAARRGGBB, alpha ignored
  float start = 1.0f, end = 100.0f, density = 1.0f;
};

struct Material {
  ColorF emissive;
  ColorF specular;
  float power = 0.0f;  // <= 0: no specular highlight
};

// ---- Device-wide state ----------------------------------------------------------

// Values match the retained-mode texture quality numbers.
enum class TextureFilter {
  Nearest = 0,
  Linear = 1,
  MipNearest = 2,        // nearest level, point sample
  MipLinear = 3,         // nearest level, bilinear
  LinearMipNearest = 4,  // two levels blended, point samples
  LinearMipLinear = 5,   // two levels blended, bilinear
};

// Render mode bits, with the retained-mode values.
enum RenderModeBits : std::uint32_t {
  kBlendedTransparency = 1,     // alpha < 1 blends with what is behind
  kSortedTransparency = 2,      // transparent draws go last, far to near
  kLightInModelSpace = 8,       // accepted; the result is the same
  kViewDependentSpecular = 16,  // highlights use the direction to the camera
  kDisableSortedAlphaZWrite = 32,
};

enum class PixelFormat {
  Xrgb8888,  // 32-bit 0x00RRGGBB words
  Rgb888,    // 24-bit, bytes B, G, R
  Rgb565,    // 16-bit
  Rgb555,    // 16-bit, top bit unused
};

enum class DepthFormat { Float32, Unorm16 };

// The memory the rasterizer draws into. It stays the caller's; it must stay
// valid from BeginFrame to EndFrame.
struct Target {
  void* pixels = nullptr;
  int width = 0, height = 0;
  int pitch = 0;  // bytes from one row to the next
  PixelFormat format = PixelFormat::Xrgb8888;
  DepthFormat depthFormat = DepthFormat::Float32;
  // Set: a frame whose colour clear nothing drew over may end with that
  // clear not done, for the caller to take (Rasterizer::TakeColorClearLeft).
  bool mayLeaveColorClear = false;
};

// A colour clear of a rectangle of an Xrgb8888 target (0x??RRGGBB) not done
// yet.
struct ColorClear {
  Rect area;
  std::uint32_t color = 0;
};

struct FrameState {
  TextureFilter textureFilter = TextureFilter::Nearest;
  std::uint32_t renderMode = 0;  // RenderModeBits
  bool dither = true;            // ordered dithering on 16-bit targets
  Fog fog;
  std::span<const Light> lights; // copied by BeginFrame; at most kMaxLights
};

inline constexpr int kMaxLights = 64;
inline constexpr int kMaxTargetSide = 4096;

// ---- Draw calls ------------------------------------------------------------------

enum class ShadeMode { Flat = 0, Gouraud = 1, Phong = 2 };  // Phong is drawn as Gouraud
enum class FillMode { Points, Wireframe, Solid };
// The winding (as seen on screen, left-handed) that is culled; values match
// the device's cull-mode numbers. Right-handed projection swaps the two.
enum class CullMode { None = 1, CW = 2, CCW = 3 };

// Mesh arrays, read during Draw only.
struct MeshData {
  std::span<const Vec3> positions;
  std::span<const Vec3> normals;               // one per position, or empty: face normals
  std::span<const Vec2> uvs;                   // one per position, or empty
  std::span<const std::uint32_t> vertexColors; // 0xAARRGGBB per position, or empty
  std::span<const std::uint32_t> indices;      // a triangle list
  std::span<const std::uint32_t> faceColors;   // 0xAARRGGBB per triangle, or empty
  std::span<const std::uint8_t> edgeFlags;     // per triangle, bit k: draw edge k in wireframe
};

struct DrawCall {
  MeshData mesh;
  Matrix modelToWorld;
  std::uint32_t color = 0xffffffff;  // base colour when no face or vertex colours
  Material material;
  std::shared_ptr<const Texture> texture;  // kept alive until the frame ends
  ShadeMode shade = ShadeMode::Gouraud;
  bool lighting = true;
  FillMode fill = FillMode::Solid;
  CullMode cull = CullMode::CCW;
  bool perspectiveTexturing = true;  // false: affine texture interpolation
  bool wrapU = false, wrapV = false; // interpolate u / v the short way round
  bool depthTest = true, depthWrite = true;
  std::uint64_t lightMask = ~std::uint64_t{0};  // bit i: FrameState::lights[i] lights this draw
  // Planar shadow geometry: drawn black, at 50% over the scene in blended
  // transparency mode (each pixel darkened once, however many of the
  // flattened faces overlap there; with the transparent draws when they are
  // sorted), opaque otherwise, pulled slightly towards the camera.
  bool shadow = false;
  // The mesh arrays stay valid and unchanged until EndFrame (as a renderer's
  // cached meshes do). Draw then only records the call: the transform and
  // lighting run at EndFrame beside the set-up, on every core. Without it
  // they run in Draw, and the arrays may be reused as soon as it returns.
  bool meshStaysValid = false;
};

// A screen-aligned textured rectangle at a point.
struct DecalCall {
  std::shared_ptr<const Texture> texture;
  Vec3 position;                 // world
  float width = 1, height = 1;   // world units, when scaleWithDepth
  bool scaleWithDepth = true;    // false: drawn at the texture's own size in pixels
  float originX = 0, originY = 0;  // the texel (from the top-left) placed at position
  std::uint32_t color = 0xffffffff;
  bool depthTest = true, depthWrite = true;
};

}  // namespace kv::raster
