#include "korvane3d/rm/Math.h"

#include <algorithm>
#include <array>

namespace kv::rm {

Vec3 Normalized(Vec3 a) {
  float len = Length(a);
  if (len == 0 || !std::isfinite(len)) return IsZero(a) ? a : Vec3{};
  return a * (1.0f / len);
}

float MaxAbs(Vec3 a) { return std::max({std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)}); }

Mat4 Mat4::FromArray(const D3DRMMATRIX4D a) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a[i][j];
  return r;
}

void Mat4::ToArray(D3DRMMATRIX4D a) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) a[i][j] = m[i][j];
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += double(a.m[i][k]) * b.m[k][j];
      r.m[i][j] = static_cast<float>(s);
    }
  return r;
}

Vec3 TransformPoint(Vec3 p, const Mat4& m) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

Vec3 TransformDirection(Vec3 d, const Mat4& m) {
  return {d.x * m.m[0][0] + d.y * m.m[1][0] + d.z * m.m[2][0],
          d.x * m.m[0][1] + d.y * m.m[1][1] + d.z * m.m[2][1],
          d.x * m.m[0][2] + d.y * m.m[1][2] + d.z * m.m[2][2]};
}

bool InvertAffine(const Mat4& m, Mat4& out) {
  out = Mat4::Identity();
  double a[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a[i][j] = m.m[i][j];
  double c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
  double c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
  double c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
  double det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
  if (det == 0 || !std::isfinite(det)) return false;
  double inv[3][3] = {
      {c00, a[0][2] * a[2][1] - a[0][1] * a[2][2], a[0][1] * a[1][2] - a[0][2] * a[1][1]},
      {c01, a[0][0] * a[2][2] - a[0][2] * a[2][0], a[0][2] * a[1][0] - a[0][0] * a[1][2]},
      {c02, a[0][1] * a[2][0] - a[0][0] * a[2][1], a[0][0] * a[1][1] - a[0][1] * a[1][0]}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out.m[i][j] = static_cast<float>(inv[i][j] / det);
  for (int j = 0; j < 3; ++j) {
    double s = 0;
    for (int k = 0; k < 3; ++k) s += double(m.m[3][k]) * (inv[k][j] / det);
    out.m[3][j] = static_cast<float>(-s);
  }
  return true;
}

Mat4 TranslationMatrix(Vec3 t) {
  Mat4 r;
  r.SetTranslation(t);
  return r;
}

Mat4 ScaleMatrix(Vec3 s) {
  Mat4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Mat4 RotationMatrix(Vec3 axis, float theta) {
  Vec3 u = Normalized(axis);
  if (IsZero(u)) u = {1, 0, 0};
  double c = std::cos(double(theta)), s = std::sin(double(theta)), t = 1 - c;
  double x = u.x, y = u.y, z = u.z;
  // Row-vector form of the rotation: the transpose of the column form.
  double r[3][3] = {{t * x * x + c, t * x * y + s * z, t * x * z - s * y},
                    {t * x * y - s * z, t * y * y + c, t * y * z + s * x},
                    {t * x * z + s * y, t * y * z - s * x, t * z * z + c}};
  Mat4 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(r[i][j]);
  return m;
}

bool HasOrthogonalRows(const Mat4& m) {
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j) {
      Vec3 a = m.Row(i), b = m.Row(j);
      float la = Length(a), lb = Length(b);
      if (la == 0 || lb == 0) return false;
      if (std::fabs(Dot(a, b)) > 1e-3f * la * lb) return false;
    }
  return true;
}

Vec3 RowLengths(const Mat4& m) { return {Length(m.Row(0)), Length(m.Row(1)), Length(m.Row(2))}; }

void Reorthogonalize(Mat4& m, Vec3 lengths) {
  // In double precision, so that the stored rows are the nearest floats to
  // exact ones and rounding does not build up from one call to the next.
  auto row = [&](int r) { return std::array<double, 3>{m.m[r][0], m.m[r][1], m.m[r][2]}; };
  auto dot = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  };
  auto unit = [&](std::array<double, 3> a) {
    double len = std::sqrt(dot(a, a));
    for (double& c : a) c /= len;
    return a;
  };
  std::array<double, 3> z = unit(row(2)), y = row(1), x0 = row(0);
  double yz = dot(y, z);
  for (int i = 0; i < 3; ++i) y[i] -= yz * z[i];
  y = unit(y);
  std::array<double, 3> x{y[1] * z[2] - y[2] * z[1], y[2] * z[0] - y[0] * z[2], y[0] * z[1] - y[1] * z[0]};
  double sign = dot(x, x0) < 0 ? -1.0 : 1.0;  // keep a mirrored basis mirrored
  for (int i = 0; i < 3; ++i) {
    m.m[0][i] = static_cast<float>(sign * x[i] * lengths.x);
    m.m[1][i] = static_cast<float>(y[i] * lengths.y);
    m.m[2][i] = static_cast<float>(z[i] * lengths.z);
  }
}

DWORD ColorByte(float v) {
  if (!(v > 0)) return 0;
  if (v >= 1) return 255;
  return static_cast<DWORD>(v * 255.0f);
}

D3DCOLOR ColorFromRGB(float r, float g, float b, float a) {
  return RGBA_MAKE(ColorByte(r), ColorByte(g), ColorByte(b), ColorByte(a));
}

}  // namespace kv::rm
