// Helpers for the generator tests: face data split into records, vector
// comparison with a tolerance, and the expected numbers computed from the
// shapes' own definitions (never by calling the generators).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/rm/D3DRM.h"

namespace kvtest {

using namespace kv;

using Record = std::vector<DWORD>;  // one face: its corners' (vertex, normal) pairs flattened

// The records of well-formed face data, each without its count word.
inline std::vector<Record> Records(const kv::TKV3DFace& face) {
  std::vector<Record> records;
  const DWORD* data = face.FaceData();
  std::size_t pos = 0;
  while (pos < face.FaceDataSize() && data[pos] != 0) {
    const DWORD n = data[pos];
    records.emplace_back(data + pos + 1, data + pos + 1 + 2 * n);
    pos += 2 * n + 1;
  }
  return records;
}

// A record whose corner k uses vertex k and normal k.
inline Record SameIndex(std::initializer_list<DWORD> corners) {
  Record r;
  for (DWORD k : corners) {
    r.push_back(k);
    r.push_back(k);
  }
  return r;
}

inline std::size_t CountRecordsOfSize(const std::vector<Record>& records, std::size_t corners) {
  std::size_t count = 0;
  for (const Record& r : records) count += r.size() == 2 * corners ? 1 : 0;
  return count;
}

inline ::testing::AssertionResult Near(const D3DVECTOR& actual, const D3DVECTOR& expected, float tolerance = 1e-5f) {
  if (std::fabs(actual.x - expected.x) <= tolerance && std::fabs(actual.y - expected.y) <= tolerance &&
      std::fabs(actual.z - expected.z) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.z << ") is not ("
                                       << expected.x << ", " << expected.y << ", " << expected.z << ")";
}

inline float Length(const D3DVECTOR& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

inline float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Corner j of a regular n-gon of circumradius 1, clockwise from +x seen from +z.
inline D3DVECTOR PolygonCorner(int j, int n, float z = 0.0f) {
  const double a = -2.0 * std::numbers::pi * j / n;
  return {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)), z};
}

}  // namespace kvtest
