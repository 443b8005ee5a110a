// kvmesh: information about DirectX mesh files and conversion between encodings.
#include <cstdio>

int main() {
  std::fputs("usage: kvmesh info FILE | kvmesh convert IN OUT --format text|binary|compressed\n", stderr);
  return 2;
}
