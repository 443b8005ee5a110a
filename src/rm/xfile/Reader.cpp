// The object grammar shared by every encoding: templates, data objects,
// nested children and references. The mesh-specific objects are read in
// MeshObjects.cpp.
#include "korvane3d/rm/xfile/Reader.h"

namespace kv::xfile::detail {

bool SceneReader::ReadAll() {
  const Context top{Parent::Top, "file"};
  for (;;) {
    Token token;
    if (!source_.Next(token)) return false;
    switch (token.kind) {
      case TokenKind::End: return true;
      case TokenKind::Template: {
        TemplateDef def;
        if (!ParseTemplate(source_, def)) return false;
        templates_.Add(std::move(def));
        generic_.Forget();
        break;
      }
      case TokenKind::Name:
        if (!ReadObject(token, top, 1)) return false;
        break;
      case TokenKind::CloseBrace:
        break;  // some exporters close one brace too many at the end; nothing is open here
      default:
        return Fail("unexpected " + std::string(Describe(token.kind)) + " at the top level", token.offset);
    }
  }
}

// "[objectName] { [<GUID>]" after the template name.
bool SceneReader::OpenObject(std::string_view templateName, std::string_view& objectName,
                             std::size_t& openedAt) {
  Token token;
  if (!source_.Next(token)) return false;
  if (token.kind == TokenKind::Name || (token.kind == TokenKind::Integer && !token.text.empty())) {
    objectName = token.text;
    if (!source_.Next(token)) return false;
  }
  if (token.kind != TokenKind::OpenBrace)
    return Fail("expected '{' after " + std::string(templateName) + ", found " +
                    std::string(Describe(token.kind)),
                token.offset);
  openedAt = token.offset;
  if (!source_.Peek(token)) return false;
  if (token.kind == TokenKind::Guid) source_.Next(token);
  return true;
}

bool SceneReader::ReadObject(const Token& templateToken, const Context& parent, int depth) {
  if (depth > kMaxDepth) return Fail("objects nested too deeply", templateToken.offset);
  const std::string_view type = templateToken.text;
  std::string_view name;
  std::size_t openedAt = 0;
  if (!OpenObject(type, name, openedAt)) return false;

  const bool inScene = parent.kind == Parent::Top || parent.kind == Parent::Frame;
  if (inScene && type == "Frame") return ReadFrame(parent, depth, openedAt);
  if (inScene && type == "Mesh") return ReadMesh(name, parent.frame, depth, openedAt);
  if (parent.kind == Parent::Top && type == "Header") {
    if (!ReadHeaderObject()) return false;
  } else if (inScene && type == "Material") {
    Material material;
    material.name = name;
    if (!ReadMaterial(material, depth, openedAt)) return false;
    if (!name.empty()) scene_.namedMaterials.insert_or_assign(std::string(name), std::move(material));
    return true;
  } else if (parent.kind == Parent::Frame && type == "FrameTransformMatrix") {
    SceneFrame& frame = scene_.frames[std::size_t(parent.frame)];
    if (!source_.ReadFloats(frame.matrix.data(), 16)) return false;
    frame.hasMatrix = true;
  } else if (parent.kind == Parent::Mesh) {
    MeshData& mesh = parent.mesh->mesh;
    if (type == "MeshMaterialList") return ReadMaterialList(*parent.mesh, depth, openedAt);
    bool ok = true;
    if (type == "MeshNormals") ok = ReadNormals(mesh);
    else if (type == "MeshTextureCoords") ok = ReadTextureCoords(mesh);
    else if (type == "MeshVertexColors") ok = ReadVertexColors(mesh);
    else if (type == "MeshFaceWraps") ok = ReadFaceWraps(mesh);
    else return ReadGeneric(type, depth, openedAt);
    if (!ok) return false;
  } else if (parent.kind == Parent::MaterialList && type == "Material") {
    MeshData& mesh = parent.mesh->mesh;
    mesh.materials.emplace_back();
    mesh.materials.back().name = name;
    return ReadMaterial(mesh.materials.back(), depth, openedAt);
  } else if (parent.kind == Parent::Material && type == "TextureFilename") {
    if (!source_.ReadString(parent.material->textureFile)) return false;
  } else {
    return ReadGeneric(type, depth, openedAt);
  }
  return ReadChildren(Context{Parent::Other, type}, depth, openedAt);
}

bool SceneReader::ReadChildren(const Context& self, int depth, std::size_t openedAt) {
  for (;;) {
    Token token;
    if (!source_.Next(token)) return false;
    switch (token.kind) {
      case TokenKind::CloseBrace: return true;
      case TokenKind::Name:
        if (!ReadObject(token, self, depth + 1)) return false;
        break;
      case TokenKind::OpenBrace:
        if (!ReadReference(self)) return false;
        break;
      case TokenKind::End:
        return Fail(std::string(self.templateName) + " object is not closed", openedAt);
      default:
        return Fail("unexpected " + std::string(Describe(token.kind)) + " in " +
                        std::string(self.templateName) + " object",
                    token.offset);
    }
  }
}

// "{ name }", "{ name <GUID> }" or "{ <GUID> }" after the opening brace.
bool SceneReader::ReadReference(const Context& self) {
  Token token;
  const std::size_t at = source_.Offset();
  if (!source_.Next(token)) return false;
  std::string_view name;
  if (token.kind == TokenKind::Name) {
    name = token.text;
    if (!source_.Next(token)) return false;
  }
  if (token.kind == TokenKind::Guid && !source_.Next(token)) return false;
  if (token.kind != TokenKind::CloseBrace) return Fail("malformed reference", at);
  if (self.kind == Parent::MaterialList) {
    MeshData& mesh = self.mesh->mesh;
    self.mesh->references.push_back({mesh.materials.size(), std::string(name), at});
    mesh.materials.emplace_back();
  }
  return true;  // references elsewhere (frames named by animations) carry nothing we use
}

// An object this reader has no use for: its values are read by its template
// when one is known (checking them on the way), else it is skipped brace by
// brace.
bool SceneReader::ReadGeneric(std::string_view templateName, int depth, std::size_t openedAt) {
  const TemplateDef* def = templates_.Find(templateName);
  if (!def || !generic_.Readable(*def)) return SkipBalanced(openedAt);
  if (!generic_.ReadMembers(*def, 0)) return false;
  return ReadChildren(Context{Parent::Other, templateName}, depth, openedAt);
}

bool SceneReader::SkipBalanced(std::size_t openedAt) {
  int open = 1;
  while (open > 0) {
    Token token;
    if (!source_.Next(token)) return false;
    if (token.kind == TokenKind::OpenBrace) {
      if (++open > kMaxDepth) return Fail("objects nested too deeply", token.offset);
    } else if (token.kind == TokenKind::CloseBrace) {
      --open;
    } else if (token.kind == TokenKind::End) {
      return Fail("object is not closed", openedAt);
    }
  }
  return true;
}

bool SceneReader::ReadHeaderObject() {
  std::uint32_t values[3] = {};
  const std::size_t at = source_.Offset();
  if (!source_.ReadUints(values, 3)) return false;
  if (values[0] != 1 || values[1] != 0)
    return Fail("Header version " + std::to_string(values[0]) + "." + std::to_string(values[1]) +
                    " is not supported (only 1.0)",
                at);
  return true;
}

bool SceneReader::ReadFrame(const Context& parent, int depth, std::size_t openedAt) {
  scene_.frames.push_back(SceneFrame{parent.frame});
  Context self{Parent::Frame, "Frame"};
  self.frame = int(scene_.frames.size() - 1);
  return ReadChildren(self, depth, openedAt);
}

bool SceneReader::CheckCount(std::uint64_t count, std::uint64_t valuesEach, std::string_view what) {
  if (count * valuesEach > source_.MaxValuesLeft())
    return Fail(std::string(what) + " count " + std::to_string(count) +
                " is more than the rest of the file can hold");
  if (count > kMaxElements)
    return source_.errors().Fail(Status::TooLarge,
                                 std::string(what) + " count " + std::to_string(count) + " exceeds the limit",
                                 source_.Offset());
  return true;
}

}  // namespace kv::xfile::detail
