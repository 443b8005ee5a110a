// Vector and matrix arithmetic shared by the engine. Vectors are rows and
// matrices are affine (last column 0,0,0,1): p' = p * M, and A * B applies A
// first.
#pragma once

#include <cmath>

#include "korvane3d/rm/D3DRMDef.h"

namespace kv::rm {

using Vec3 = D3DVECTOR;

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline bool IsZero(Vec3 a) { return a.x == 0 && a.y == 0 && a.z == 0; }
// Unit length; a zero vector stays zero.
Vec3 Normalized(Vec3 a);
// Largest component magnitude: a scale-free "is it nearly zero" measure.
float MaxAbs(Vec3 a);

struct Mat4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

  static Mat4 Identity() { return {}; }
  static Mat4 FromArray(const D3DRMMATRIX4D a);
  void ToArray(D3DRMMATRIX4D a) const;
  Vec3 Row(int r) const { return {m[r][0], m[r][1], m[r][2]}; }
  void SetRow(int r, Vec3 v) {
    m[r][0] = v.x;
    m[r][1] = v.y;
    m[r][2] = v.z;
  }
  Vec3 Translation() const { return Row(3); }
  void SetTranslation(Vec3 t) { SetRow(3, t); }
};

Mat4 operator*(const Mat4& a, const Mat4& b);
Vec3 TransformPoint(Vec3 p, const Mat4& m);
Vec3 TransformDirection(Vec3 d, const Mat4& m);
// The inverse of an affine matrix; false (and identity) when singular.
bool InvertAffine(const Mat4& m, Mat4& out);
Mat4 TranslationMatrix(Vec3 t);
Mat4 ScaleMatrix(Vec3 s);
// Turns by theta about axis (normalised here; a zero axis means +x): about
// +z, +x goes towards +y.
Mat4 RotationMatrix(Vec3 axis, float theta);
// Rows of the 3x3 part orthogonal to each other (up to rounding).
bool HasOrthogonalRows(const Mat4& m);
// Makes the rows of the 3x3 part orthogonal again and gives them the
// lengths given (removing rounding drift after a turn).
void Reorthogonalize(Mat4& m, Vec3 lengths);
Vec3 RowLengths(const Mat4& m);

// Colour conversions: float -> byte truncates after clamping to 0..1.
DWORD ColorByte(float v);
D3DCOLOR ColorFromRGB(float r, float g, float b, float a = 1.0f);
inline float ColorChannel(D3DCOLOR c, int shift) { return static_cast<float>((c >> shift) & 0xff) / 255.0f; }

}  // namespace kv::rm
