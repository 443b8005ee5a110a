#include "korvane3d/rm/raster/VertexStage.h"

#include <algorithm>
#include <cmath>

#include "korvane3d/rm/raster/RasterMath.h"

namespace kv::raster {
namespace {

// A light carried into the space one draw is lit in.
struct SpaceLight {
  LightType type;
  float r, g, b;
  Vec3 position;
  Vec3 toLight;  // directional and parallel point: unit vector towards the light
  Vec3 axis;     // spot: unit cone axis
  float c, l, q;
  float range;
  float cosUmbra, cosPenumbra, invSpread;
};

struct DrawLighting {
  SpaceLight lights[kMaxLights];
  int count = 0;
  bool parallelOnly = true;  // only directional and parallel-point lights, no highlights
  float ambient[3] = {0, 0, 0};
  float distanceScale = 1;  // world units per lighting-space unit
  bool specular = false;
  float power = 0;
  ColorF specularColor;
  bool viewDependent = false;
  Vec3 eye;           // lighting space
  Vec3 towardsViewer; // lighting space, unit
};

// True when m's 3x3 part is a rotation times a uniform scale (then lighting in
// model space gives the world-space result with distances scaled).
bool IsSimilarity(const Matrix& m, float& scale) {
  Vec3 r0{m.m[0][0], m.m[0][1], m.m[0][2]}, r1{m.m[1][0], m.m[1][1], m.m[1][2]}, r2{m.m[2][0], m.m[2][1], m.m[2][2]};
  float l0 = Dot(r0, r0), l1 = Dot(r1, r1), l2 = Dot(r2, r2);
  if (!(l0 > 1e-20f)) return false;
  float tol = 1e-4f * l0;
  if (std::fabs(l0 - l1) > tol || std::fabs(l0 - l2) > tol) return false;
  if (std::fabs(Dot(r0, r1)) > tol || std::fabs(Dot(r0, r2)) > tol || std::fabs(Dot(r1, r2)) > tol) return false;
  scale = std::sqrt(l0);
  return true;
}

void BuildDrawLighting(const VertexStageInput& in, const Matrix& worldToSpace, float distanceScale,
                       DrawLighting& out) {
  const DrawCall& draw = *in.draw;
  const FrameLighting& frame = *in.lighting;
  out.distanceScale = distanceScale;
  const Material& mat = draw.material;
  out.specular = mat.power > 0 && (mat.specular.r > 0 || mat.specular.g > 0 || mat.specular.b > 0);
  out.power = mat.power;
  out.specularColor = mat.specular;
  out.viewDependent = frame.viewDependentSpecular;
  out.parallelOnly = !out.specular;
  out.eye = TransformPoint(frame.cameraPosition, worldToSpace);
  out.towardsViewer = Normalize(TransformDirection(frame.towardsViewer, worldToSpace));
  Vec3 objectOrigin{draw.modelToWorld.m[3][0], draw.modelToWorld.m[3][1], draw.modelToWorld.m[3][2]};
  for (int i = 0; i < frame.count; ++i) {
    if (i < 64 && !((draw.lightMask >> i) & 1)) continue;
    const WorldLight& w = frame.lights[i];
    if (w.type == LightType::Ambient) {
      out.ambient[0] += w.color.r;
      out.ambient[1] += w.color.g;
      out.ambient[2] += w.color.b;
      continue;
    }
    if (w.type != LightType::Directional && w.type != LightType::ParallelPoint) out.parallelOnly = false;
    SpaceLight& s = out.lights[out.count++];
    s = {};
    s.type = w.type;
    s.r = w.color.r;
    s.g = w.color.g;
    s.b = w.color.b;
    s.position = TransformPoint(w.position, worldToSpace);
    s.axis = Normalize(TransformDirection(w.direction, worldToSpace));
    s.c = w.c;
    s.l = w.l;
    s.q = w.q;
    s.range = w.range;
    s.cosUmbra = w.cosUmbra;
    s.cosPenumbra = w.cosPenumbra;
    s.invSpread = w.cosUmbra > w.cosPenumbra ? 1.0f / (w.cosUmbra - w.cosPenumbra) : 0.0f;
    if (w.type == LightType::Directional) {
      s.toLight = s.axis * -1.0f;
    } else if (w.type == LightType::ParallelPoint) {
      // Parallel rays from the light towards this object's origin.
      Vec3 toLightWorld = Normalize(w.position - objectOrigin);
      s.toLight = Normalize(TransformDirection(toLightWorld, worldToSpace));
    }
  }
}

// The common case: only lights whose direction is the same everywhere and
// no highlights. Inline: it runs once per vertex.
inline void LightParallel(const DrawLighting& dl, Vec3 n, float diffuse[3], float specular[3]) {
  float dr = dl.ambient[0], dg = dl.ambient[1], db = dl.ambient[2];
  for (int i = 0; i < dl.count; ++i) {
    const SpaceLight& L = dl.lights[i];
    const float ndl = n.x * L.toLight.x + n.y * L.toLight.y + n.z * L.toLight.z;
    if (ndl > 0) {
      dr += L.r * ndl;
      dg += L.g * ndl;
      db += L.b * ndl;
    }
  }
  diffuse[0] = dr;
  diffuse[1] = dg;
  diffuse[2] = db;
  specular[0] = specular[1] = specular[2] = 0;
}

// Lighting factors at one point: diffuse (ambient included) and specular.
void LightPoint(const DrawLighting& dl, Vec3 p, Vec3 n, float diffuse[3], float specular[3]) {
  if (dl.parallelOnly) {
    LightParallel(dl, n, diffuse, specular);
    return;
  }
  float dr = dl.ambient[0], dg = dl.ambient[1], db = dl.ambient[2];
  float sr = 0, sg = 0, sb = 0;
  for (int i = 0; i < dl.count; ++i) {
    const SpaceLight& L = dl.lights[i];
    Vec3 toLight;
    float att = 1;
    if (L.type == LightType::Directional || L.type == LightType::ParallelPoint) {
      toLight = L.toLight;
    } else {
      Vec3 v = L.position - p;
      float len = Length(v);
      float d = len * dl.distanceScale;
      if (d > L.range) continue;
      toLight = len > 0 ? v * (1.0f / len) : Vec3{0, 0, 0};
      float denom = L.c + L.l * d + L.q * d * d;
      if (denom > 1) att = 1.0f / denom;
      if (L.type == LightType::Spot) {
        float rho = -Dot(toLight, L.axis);
        if (rho <= L.cosPenumbra) continue;
        if (rho < L.cosUmbra) att *= (rho - L.cosPenumbra) * L.invSpread;
      }
    }
    float ndl = Dot(n, toLight);
    if (ndl <= 0) continue;
    dr += L.r * ndl * att;
    dg += L.g * ndl * att;
    db += L.b * ndl * att;
    if (dl.specular) {
      Vec3 v = dl.viewDependent ? Normalize(dl.eye - p) : dl.towardsViewer;
      float ndh = Dot(n, Normalize(toLight + v));
      if (ndh > 0) {
        float f = std::pow(ndh, dl.power) * att;
        sr += L.r * f;
        sg += L.g * f;
        sb += L.b * f;
      }
    }
  }
  diffuse[0] = dr;
  diffuse[1] = dg;
  diffuse[2] = db;
  specular[0] = sr * dl.specularColor.r;
  specular[1] = sg * dl.specularColor.g;
  specular[2] = sb * dl.specularColor.b;
}

// Normals carried to world space: the inverse transpose of the 3x3 part.
Matrix NormalMatrix(const Matrix& m) {
  Matrix inv;
  if (!Invert(m, inv)) return m;
  Matrix t = Transpose(inv);
  for (int i = 0; i < 3; ++i) t.m[3][i] = t.m[i][3] = 0;
  t.m[3][3] = 1;
  return t;
}

struct LightingSpace {
  bool model = true;      // light in model space (similarity transforms)
  Matrix normalMatrix;    // world-space lighting: normals
};

// The inverse of rotation·scale + translation: transpose / scale².
Matrix InvertSimilarity(const Matrix& m, float scale) {
  Matrix inv;
  const float k = 1.0f / (scale * scale);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inv.m[i][j] = m.m[j][i] * k;
  for (int j = 0; j < 3; ++j)
    inv.m[3][j] = -(m.m[3][0] * inv.m[0][j] + m.m[3][1] * inv.m[1][j] + m.m[3][2] * inv.m[2][j]);
  return inv;
}

void SetUpLighting(const VertexStageInput& in, DrawLighting& dl, LightingSpace& space) {
  float scale = 1;
  const Matrix& m = in.draw->modelToWorld;
  if (IsSimilarity(m, scale) && m.m[0][3] == 0 && m.m[1][3] == 0 && m.m[2][3] == 0 && m.m[3][3] == 1) {
    const Matrix inv = InvertSimilarity(m, scale);
    space.model = true;
    BuildDrawLighting(in, inv, scale, dl);
  } else {
    space.model = false;
    space.normalMatrix = NormalMatrix(m);
    BuildDrawLighting(in, Matrix{}, 1, dl);
  }
}

void LightIn(const DrawLighting& dl, const LightingSpace& space, const Matrix& modelToWorld, Vec3 p, Vec3 n,
             float diffuse[3], float specular[3]) {
  if (!space.model) {
    p = TransformPoint(p, modelToWorld);
    n = Normalize(TransformDirection(n, space.normalMatrix));
  }
  LightPoint(dl, p, n, diffuse, specular);
}

// The common vertex (see VertexJob) through the vectorised kernel.
void RunCommonVertices(const VertexStageInput& in, const Matrix& modelToClip, const DrawLighting& dl, bool lit,
                       ClipVertex* vertices, std::uint16_t* outcodes) {
  const DrawCall& draw = *in.draw;
  const MeshData& mesh = draw.mesh;
  VertexJob job;
  job.positions = mesh.positions.data();
  job.count = mesh.positions.size();
  job.uvs = mesh.uvs.empty() ? nullptr : mesh.uvs.data();
  job.modelToClip = modelToClip;
  job.guard = in.guard;
  job.map = in.map;
  ParallelLight lights[kMaxLights];
  if (lit) {
    job.normals = mesh.normals.data();
    for (int i = 0; i < dl.count; ++i) {
      const SpaceLight& L = dl.lights[i];
      lights[i] = {L.toLight.x, L.toLight.y, L.toLight.z, L.r, L.g, L.b};
    }
    job.lights = lights;
    job.lightCount = dl.count;
    for (int k = 0; k < 3; ++k) job.ambient[k] = dl.ambient[k];
  }
  for (int k = 0; k < 3; ++k) {
    job.base[k] = static_cast<float>((draw.color >> (16 - 8 * k)) & 255) * (1.0f / 255.0f);
    if (in.state->lit) job.emissive[k] = in.state->emissive[k];
  }
  job.baseAlpha = static_cast<float>(draw.color >> 24);
  job.vertices = vertices;
  job.outcodes = outcodes;
  in.commonVertices(job);
}

}  // namespace

float FogFactor(const Fog& fog, float depth) {
  float f = 1;
  switch (fog.mode) {
    case FogMode::Linear:
      f = fog.end != fog.start ? (fog.end - depth) / (fog.end - fog.start) : (depth < fog.end ? 1.0f : 0.0f);
      break;
    case FogMode::Exponential: f = std::exp(-fog.density * depth); break;
    case FogMode::ExponentialSquared: {
      float x = fog.density * depth;
      f = std::exp(-x * x);
      break;
    }
  }
  return std::isnan(f) ? 0.0f : f;
}

void PrepareFrameLighting(std::span<const Light> lights, const Matrix& worldToCamera, std::uint32_t renderMode,
                          const Fog& fog, FrameLighting& out) {
  out.count = 0;
  for (const Light& light : lights) {
    if (out.count == kMaxLights) break;
    WorldLight& w = out.lights[out.count++];
    w.type = light.type;
    w.color = light.color;
    w.position = light.position;
    Vec3 dir = Normalize(light.direction);
    w.direction = Length(dir) > 0 ? dir : Vec3{0, 0, 1};
    w.c = light.constantAttenuation;
    w.l = light.linearAttenuation;
    w.q = light.quadraticAttenuation;
    w.range = light.range;
    float umbra = std::clamp(light.umbra, 0.0f, 3.14159265f);
    float penumbra = std::clamp(std::max(light.penumbra, umbra), 0.0f, 3.14159265f);
    w.cosUmbra = std::cos(0.5f * umbra);
    w.cosPenumbra = std::cos(0.5f * penumbra);
  }
  Matrix cameraToWorld;
  if (!Invert(worldToCamera, cameraToWorld)) cameraToWorld = Matrix{};
  out.cameraPosition = TransformPoint({0, 0, 0}, cameraToWorld);
  out.towardsViewer = Normalize(TransformDirection({0, 0, -1}, cameraToWorld));
  out.viewDependentSpecular = (renderMode & kViewDependentSpecular) != 0;
  out.fog = fog;
}

void RunVertexStage(const VertexStageInput& in, ClipVertex* vertices, std::uint16_t* outcodes,
                    std::uint32_t* baseColors, FaceData* faces) {
  const DrawCall& draw = *in.draw;
  const DrawState& state = *in.state;
  const MeshData& mesh = draw.mesh;
  const Matrix modelToClip = Multiply(draw.modelToWorld, in.worldToClip);
  const bool fog = in.lighting->fog.enabled;
  const Matrix modelToCamera = fog ? Multiply(draw.modelToWorld, in.worldToCamera) : Matrix{};  // for fog only
  const bool vertexLighting = state.lit && !state.faceLighting;
  const ScreenMapping& map = in.map;

  DrawLighting dl;
  LightingSpace space;
  if (state.lit) SetUpLighting(in, dl, space);

  // One base colour for every vertex and the specular folded in: the
  // colour sum needs no unpacking per vertex.
  const bool uniformBase = mesh.vertexColors.empty() && !state.specular;
  float baseScaled[3], emissive[3] = {0, 0, 0};
  const float baseAlpha = static_cast<float>(draw.color >> 24);
  for (int k = 0; k < 3; ++k) {
    baseScaled[k] = static_cast<float>((draw.color >> (16 - 8 * k)) & 255) * (1.0f / 255.0f);
    if (state.lit) emissive[k] = state.emissive[k];
  }
  const size_t count = mesh.positions.size();
  const bool common = in.finalColors && uniformBase && !fog && in.commonVertices &&
                      (!vertexLighting || (space.model && dl.parallelOnly));
  if (common) {
    RunCommonVertices(in, modelToClip, dl, vertexLighting, vertices, outcodes);
    std::fill(baseColors, baseColors + count, draw.color);
  }
  for (size_t i = 0; i < (common ? 0 : count); ++i) {
    const Vec3 p = mesh.positions[i];
    ClipVertex& v = vertices[i];
    Vec4 c = TransformPoint4(p, modelToClip);
    v.x = c.x;
    v.y = c.y;
    v.z = c.z;
    v.w = c.w;
    outcodes[i] = ProjectClipVertex(v, in.guard, map);
    float diffuse[3] = {1, 1, 1}, specular[3] = {0, 0, 0};
    if (vertexLighting) {
      if (space.model && dl.parallelOnly)
        LightParallel(dl, mesh.normals[i], diffuse, specular);
      else
        LightIn(dl, space, draw.modelToWorld, p, mesh.normals[i], diffuse, specular);
    }
    const std::uint32_t base = mesh.vertexColors.empty() ? draw.color : mesh.vertexColors[i];
    baseColors[i] = base;
    if (in.finalColors && uniformBase) {
      for (int k = 0; k < 3; ++k) {
        const float c = emissive[k] + baseScaled[k] * diffuse[k] + specular[k];
        v.c[k] = (c > 0 ? (c < 1 ? c : 1) : 0) * 255.0f;
        v.s[k] = 0;
      }
      v.c[3] = baseAlpha;
    } else if (in.finalColors) {
      ComposeColor(base, diffuse, specular, state, v.c, v.s);
    } else {
      v.c[0] = diffuse[0];
      v.c[1] = diffuse[1];
      v.c[2] = diffuse[2];
      v.c[3] = 0;
      v.s[0] = specular[0];
      v.s[1] = specular[1];
      v.s[2] = specular[2];
    }
    v.fog = fog ? FogFactor(in.lighting->fog, TransformPoint(p, modelToCamera).z) : 1.0f;
    if (!mesh.uvs.empty()) {
      v.u = mesh.uvs[i].u;
      v.v = mesh.uvs[i].v;
    } else {
      v.u = v.v = 0;
    }
  }

  if (!faces) return;
  const size_t triangles = mesh.indices.size() / 3;
  for (size_t t = 0; t < triangles; ++t) {
    FaceData& f = faces[t];
    f.baseColor = !mesh.faceColors.empty() ? mesh.faceColors[t] : draw.color;
    f.edgeFlags = !mesh.edgeFlags.empty() ? mesh.edgeFlags[t] : 7;
    float diffuse[3] = {1, 1, 1}, specular[3] = {0, 0, 0};
    if (state.lit && state.faceLighting) {
      Vec3 a = mesh.positions[mesh.indices[3 * t]], b = mesh.positions[mesh.indices[3 * t + 1]],
           c = mesh.positions[mesh.indices[3 * t + 2]];
      Vec3 normal = Normalize(Cross(b - a, c - a));
      Vec3 centroid = (a + b + c) * (1.0f / 3.0f);
      LightIn(dl, space, draw.modelToWorld, centroid, normal, diffuse, specular);
    }
    f.dr = diffuse[0];
    f.dg = diffuse[1];
    f.db = diffuse[2];
    f.sr = specular[0];
    f.sg = specular[1];
    f.sb = specular[2];
  }
}

}  // namespace kv::raster
