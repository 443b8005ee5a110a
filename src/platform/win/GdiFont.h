// The built-in fixed bitmap font: one 8 x 16 cell per printable ASCII
// character (32..126). Internal to GDI.
#pragma once

#include <array>
#include <cstdint>

namespace kv::win::detail {

constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 16;
using GlyphRows = std::array<std::uint8_t, kGlyphHeight>;  // bit 7 is the leftmost pixel

// The cell of ch; characters outside 32..126 show as '?'.
const GlyphRows& Glyph(unsigned char ch);

}  // namespace kv::win::detail
