// The shader program of the GL sink. Vertices arrive as the rasterizer's
// ClipVertex records: clip position (depth 0..w, y up), colour and separate
// specular 0..255, fog factor (1: none), texture coordinates.
#include <cstddef>

#include "korvane3d/rm/gl/GlInternal.h"

namespace kv::glraster {

namespace {

constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec3 specular;
layout(location = 3) in float fog;
layout(location = 4) in vec2 uv;
out vec4 vColor;
out vec3 vSpecular;
out float vFog;
out vec2 vUv;
noperspective out vec2 vUvAffine;
void main() {
  // Depth runs 0..w here and -w..w in GL; y is negated so that GL's window
  // rows are the target's rows, top first, and the winding keeps its sign.
  gl_Position = vec4(position.x, -position.y, 2.0 * position.z - position.w, position.w);
  gl_PointSize = 1.0;
  vColor = color * (1.0 / 255.0);
  vSpecular = specular * (1.0 / 255.0);
  vFog = fog;
  vUv = uv;
  vUvAffine = uv;
}
)";

// The pixel stage's order: texture modulates colour (and alpha), the alpha
// test discards keyed texels, separate specular is added, fog mixes towards
// its colour, blending (fixed function) finishes. Each feature is compiled
// in or out (a variant per combination): a software GL runs every branch of
// a shader for every pixel.
constexpr const char* kFragmentShader = R"(
in vec4 vColor;
in vec3 vSpecular;
in float vFog;
in vec2 vUv;
noperspective in vec2 vUvAffine;
uniform sampler2D image;
uniform float alphaRef;
uniform vec3 fogColor;
out vec4 fragment;
void main() {
  vec4 c = vColor;
#if TEXTURED
#if AFFINE
  vec4 t = texture(image, vUvAffine);
#else
  vec4 t = texture(image, vUv);
#endif
#if ALPHA_TEST
  if (t.a < alphaRef) discard;
#endif
  c *= t;
#endif
#if SPECULAR
  c.rgb += vSpecular;
#endif
#if FOG
  c.rgb = mix(fogColor, c.rgb, clamp(vFog, 0.0, 1.0));
#endif
  fragment = c;
}
)";

GLuint Compile(GLenum type, const std::string& source, std::string& why) {
  GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof(log), nullptr, log);
    why = std::string("shader does not compile: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

std::string FragmentSource(unsigned features) {
  std::string s = "#version 330 core\n";
  auto define = [&](const char* name, unsigned bit) {
    s += std::string("#define ") + name + ((features & bit) ? " 1\n" : " 0\n");
  };
  define("TEXTURED", kTextured);
  define("AFFINE", kAffine);
  define("ALPHA_TEST", kAlphaTest);
  define("SPECULAR", kSpecular);
  define("FOG", kFog);
  return s + kFragmentShader;
}

}  // namespace

unsigned FeaturesOf(const kr::DrawState& s, bool textured) {
  unsigned f = 0;
  if (textured) {
    f |= kTextured;
    if (!s.perspective) f |= kAffine;
    if (s.alphaTest) f |= kAlphaTest;
  }
  if (s.specular) f |= kSpecular;
  if (s.fog) f |= kFog;
  return f;
}

bool GlProgram::Build(unsigned features, std::string& why) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, why);
  if (!vs) return false;
  const GLuint fs = Compile(GL_FRAGMENT_SHADER, FragmentSource(features), why);
  if (!fs) {
    glDeleteShader(vs);
    return false;
  }
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program_, GL_LINK_STATUS, &ok);
  if (!ok) {
    why = "shader program does not link";
    return false;
  }
  alphaRef_ = glGetUniformLocation(program_, "alphaRef");
  fogColor_ = glGetUniformLocation(program_, "fogColor");
  glUseProgram(program_);
  if (GLint image = glGetUniformLocation(program_, "image"); image >= 0) glUniform1i(image, 0);
  return true;
}

GlProgram::~GlProgram() {
  if (program_) glDeleteProgram(program_);
}

void GlProgram::SetAlphaReference(bool blend) {
  // Blended draws keep every texel with some alpha; others only the half-opaque ones.
  const float reference = blend ? 0.5f / 255.0f : 127.5f / 255.0f;
  if (alphaRef_ >= 0 && reference != alphaRef) {
    glUniform1f(alphaRef_, reference);
    alphaRef = reference;
  }
}

void GlProgram::SetFog(std::uint32_t color) {
  if (fogColor_ < 0 || color == fogColor) return;
  glUniform3f(fogColor_, static_cast<float>((color >> 16) & 255) / 255.0f,
              static_cast<float>((color >> 8) & 255) / 255.0f, static_cast<float>(color & 255) / 255.0f);
  fogColor = color;
}

GlProgram* GlPrograms::For(unsigned features, std::string& why) {
  std::unique_ptr<GlProgram>& slot = programs_[features & (kFeatureCount - 1)];
  if (!slot) {
    auto built = std::make_unique<GlProgram>();
    if (!built->Build(features, why)) return nullptr;
    slot = std::move(built);
  }
  return slot.get();
}

}  // namespace kv::glraster
