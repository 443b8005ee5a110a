// Output side: one walk over a mesh (Writer.cpp) drives an emitter per
// encoding, which lays the values out as that encoding wants them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "korvane3d/rm/xfile/Templates.h"

namespace kv::xfile::detail {

class Emitter {
 public:
  virtual ~Emitter() = default;
  virtual void Template(const TemplateDef& def) = 0;
  virtual void Begin(std::string_view templateName, std::string_view objectName) = 0;
  virtual void End() = 0;
  // A DWORD member.
  virtual void Dword(std::uint32_t value) = 0;
  // An array of DWORD.
  virtual void DwordArray(std::span<const std::uint32_t> values) = 0;
  // One member that is a structure of floats (ColorRGBA; one FLOAT when size 1).
  virtual void FloatStruct(std::span<const float> values) = 0;
  // An array of structures of `group` floats each (Vector, Coords2d, Matrix4x4).
  virtual void FloatArray(std::span<const float> values, std::size_t group) = 0;
  // An array of MeshFace: each a corner count followed by as many indices.
  virtual void FaceArray(std::span<const std::uint32_t> sizes, std::span<const std::uint32_t> indices) = 0;
  // An array of IndexedColor (index, then four floats).
  virtual void IndexedColorArray(std::span<const std::uint32_t> colors) = 0;
  // An array of Boolean2d.
  virtual void BoolPairArray(std::span<const std::array<bool, 2>> pairs) = 0;
  virtual void String(std::string_view text) = 0;
  // The finished file body (after the header).
  virtual std::vector<std::uint8_t> Finish() = 0;
};

std::unique_ptr<Emitter> MakeTextEmitter();
std::unique_ptr<Emitter> MakeBinaryEmitter(int floatBits);

// Colour channels of 0xAARRGGBB as the floats a file stores (r, g, b, a).
std::array<float, 4> ColorFloats(std::uint32_t argb);

}  // namespace kv::xfile::detail
