// The object grammar: reads the data objects of a file from a token source
// into a scene (frames with their matrices, meshes, named materials), which
// BuildMesh then flattens into one mesh record.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "korvane3d/rm/xfile/Templates.h"
#include "korvane3d/rm/xfile/Tokens.h"
#include "korvane3d/rm/xfile/XFile.h"

namespace kv::xfile::detail {

using Matrix4 = std::array<float, 16>;  // row-major, row vectors: v' = v * M

struct SceneFrame {
  int parent = -1;
  bool hasMatrix = false;
  Matrix4 matrix{};
};

// A material slot filled by a reference ("{ name }") resolved once the whole
// file is read, so a reference may name a material declared further down.
struct MaterialReference {
  std::size_t slot = 0;
  std::string name;
  std::size_t offset = 0;
};

struct SceneMesh {
  MeshData mesh;
  int frame = -1;  // -1: at top level
  std::size_t offset = 0;  // where the mesh object opens
  std::vector<MaterialReference> references;
};

struct Scene {
  std::vector<SceneFrame> frames;
  std::vector<SceneMesh> meshes;
  std::map<std::string, Material, std::less<>> namedMaterials;
};

class SceneReader {
 public:
  SceneReader(TokenSource& source, Scene& scene)
      : source_(source), scene_(scene), generic_(source, templates_) {}
  bool ReadAll();

 private:
  enum class Parent { Top, Frame, Mesh, MaterialList, Material, Other };
  struct Context {
    Parent kind = Parent::Other;
    std::string_view templateName;
    int frame = -1;
    SceneMesh* mesh = nullptr;
    Material* material = nullptr;
  };

  bool ReadObject(const Token& templateToken, const Context& parent, int depth);
  bool OpenObject(std::string_view templateName, std::string_view& objectName, std::size_t& openedAt);
  bool ReadChildren(const Context& self, int depth, std::size_t openedAt);
  bool ReadReference(const Context& self);
  bool ReadGeneric(std::string_view templateName, int depth, std::size_t openedAt);
  bool SkipBalanced(std::size_t openedAt);

  bool ReadHeaderObject();
  bool ReadFrame(const Context& parent, int depth, std::size_t openedAt);
  bool ReadMesh(std::string_view name, int frame, int depth, std::size_t openedAt);
  bool ReadFaces(MeshData& mesh);
  bool ReadNormals(MeshData& mesh);
  bool ReadTextureCoords(MeshData& mesh);
  bool ReadVertexColors(MeshData& mesh);
  bool ReadFaceWraps(MeshData& mesh);
  bool ReadMaterialList(SceneMesh& mesh, int depth, std::size_t openedAt);
  bool ReadMaterial(Material& material, int depth, std::size_t openedAt);

  // Fails unless count elements of valuesEach values can still follow.
  bool CheckCount(std::uint64_t count, std::uint64_t valuesEach, std::string_view what);
  bool Fail(std::string message) { return Fail(std::move(message), source_.Offset()); }
  bool Fail(std::string message, std::size_t offset) {
    return source_.errors().Fail(Status::BadFile, std::move(message), offset);
  }

  TokenSource& source_;
  Scene& scene_;
  TemplateSet templates_{&TemplateSet::Standard()};
  GenericReader generic_;
};

// Resolves material references, carries each mesh by its frames' matrices and
// merges all meshes, in file order, into out.
bool BuildMesh(Scene& scene, MeshData& out, ErrorState& errors);

}  // namespace kv::xfile::detail
