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
// its colour, blending (fixed function) finishes.
constexpr const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec3 vSpecular;
in float vFog;
in vec2 vUv;
noperspective in vec2 vUvAffine;
uniform sampler2D image;
uniform bool textured;
uniform bool affine;
uniform bool alphaTest;
uniform float alphaRef;
uniform bool specular;
uniform bool fog;
uniform vec3 fogColor;
out vec4 fragment;
void main() {
  vec4 c = vColor;
  if (textured) {
    vec4 t = texture(image, affine ? vUvAffine : vUv);
    if (alphaTest && t.a < alphaRef) discard;
    c *= t;
  }
  if (specular) c.rgb += vSpecular;
  if (fog) c.rgb = mix(fogColor, c.rgb, clamp(vFog, 0.0, 1.0));
  fragment = c;
}
)";

GLuint Compile(GLenum type, const char* source, std::string& why) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
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

}  // namespace

bool GlProgram::Build(std::string& why) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, why);
  if (!vs) return false;
  const GLuint fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader, why);
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
  textured_ = glGetUniformLocation(program_, "textured");
  affine_ = glGetUniformLocation(program_, "affine");
  alphaTest_ = glGetUniformLocation(program_, "alphaTest");
  alphaRef_ = glGetUniformLocation(program_, "alphaRef");
  specular_ = glGetUniformLocation(program_, "specular");
  fog_ = glGetUniformLocation(program_, "fog");
  fogColor_ = glGetUniformLocation(program_, "fogColor");
  glUseProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "image"), 0);
  return true;
}

GlProgram::~GlProgram() {
  if (program_) glDeleteProgram(program_);
}

void GlProgram::SetDraw(const kr::DrawState& s, bool textured) const {
  glUniform1i(textured_, textured ? 1 : 0);
  glUniform1i(affine_, s.perspective ? 0 : 1);
  glUniform1i(alphaTest_, s.alphaTest ? 1 : 0);
  // Blended draws keep every texel with some alpha; others only the half-opaque ones.
  glUniform1f(alphaRef_, s.blend ? 0.5f / 255.0f : 127.5f / 255.0f);
  glUniform1i(specular_, s.specular ? 1 : 0);
  glUniform1i(fog_, s.fog ? 1 : 0);
}

void GlProgram::SetFog(std::uint32_t color) const {
  glUniform3f(fogColor_, static_cast<float>((color >> 16) & 255) / 255.0f,
              static_cast<float>((color >> 8) & 255) / 255.0f, static_cast<float>(color & 255) / 255.0f);
}

}  // namespace kv::glraster
