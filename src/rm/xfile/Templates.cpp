#include "korvane3d/rm/xfile/Templates.h"

#include <array>

#include "korvane3d/rm/xfile/TextTokens.h"

namespace kv::xfile::detail {
namespace {

// The standard declarations, in the file format's own text syntax.
constexpr std::string_view kStandardTemplates = R"(
template Header { <3D82AB43-62DA-11CF-AB39-0020AF71E433> WORD major; WORD minor; DWORD flags; }
template Vector { <3D82AB5E-62DA-11CF-AB39-0020AF71E433> FLOAT x; FLOAT y; FLOAT z; }
template Coords2d { <F6F23F44-7686-11CF-8F52-0040333594A3> FLOAT u; FLOAT v; }
template Matrix4x4 { <F6F23F45-7686-11CF-8F52-0040333594A3> array FLOAT matrix[16]; }
template ColorRGBA { <35FF44E0-6C7C-11CF-8F52-0040333594A3>
  FLOAT red; FLOAT green; FLOAT blue; FLOAT alpha; }
template ColorRGB { <D3E16E81-7835-11CF-8F52-0040333594A3> FLOAT red; FLOAT green; FLOAT blue; }
template IndexedColor { <1630B820-7842-11CF-8F52-0040333594A3> DWORD index; ColorRGBA indexColor; }
template Boolean { <537DA6A0-CA37-11D0-941C-0080C80CFA7B> DWORD truefalse; }
template Boolean2d { <4885AE63-78E8-11CF-8F52-0040333594A3> Boolean u; Boolean v; }
template MaterialWrap { <4885AE60-78E8-11CF-8F52-0040333594A3> Boolean u; Boolean v; }
template TextureFilename { <A42790E1-7810-11CF-8F52-0040333594A3> STRING filename; }
template Material { <3D82AB4D-62DA-11CF-AB39-0020AF71E433>
  ColorRGBA faceColor; FLOAT power; ColorRGB specularColor; ColorRGB emissiveColor; [...] }
template MeshFace { <3D82AB5F-62DA-11CF-AB39-0020AF71E433>
  DWORD nFaceVertexIndices; array DWORD faceVertexIndices[nFaceVertexIndices]; }
template MeshFaceWraps { <ED1EC5C0-C0A8-11D0-941C-0080C80CFA7B>
  DWORD nFaceWrapValues; array Boolean2d faceWrapValues[nFaceWrapValues]; }
template MeshTextureCoords { <F6F23F40-7686-11CF-8F52-0040333594A3>
  DWORD nTextureCoords; array Coords2d textureCoords[nTextureCoords]; }
template MeshMaterialList { <F6F23F42-7686-11CF-8F52-0040333594A3>
  DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes]; [Material] }
template MeshNormals { <F6F23F43-7686-11CF-8F52-0040333594A3>
  DWORD nNormals; array Vector normals[nNormals];
  DWORD nFaceNormals; array MeshFace faceNormals[nFaceNormals]; }
template MeshVertexColors { <1630B821-7842-11CF-8F52-0040333594A3>
  DWORD nVertexColors; array IndexedColor vertexColors[nVertexColors]; }
template Mesh { <3D82AB44-62DA-11CF-AB39-0020AF71E433>
  DWORD nVertices; array Vector vertices[nVertices];
  DWORD nFaces; array MeshFace faces[nFaces]; [...] }
template FrameTransformMatrix { <F6F23F41-7686-11CF-8F52-0040333594A3> Matrix4x4 frameMatrix; }
template Frame { <3D82AB46-62DA-11CF-AB39-0020AF71E433> [...] }
template FloatKeys { DWORD nValues; array FLOAT values[nValues]; }
template TimedFloatKeys { DWORD time; FloatKeys tfkeys; }
template AnimationKey { DWORD keyType; DWORD nKeys; array TimedFloatKeys keys[nKeys]; }
template AnimationOptions { DWORD openclosed; DWORD positionquality; }
template Animation { [...] }
template AnimationSet { [Animation] }
template AnimTicksPerSecond { DWORD AnimTicksPerSecond; }
template Guid { DWORD data1; WORD data2; WORD data3; array UCHAR data4[8]; }
template StringProperty { STRING key; STRING value; }
template PropertyBag { [StringProperty] }
template ExternalVisual { Guid guidExternalVisual; [...] }
template RightHanded { DWORD bRightHanded; }
template Url { DWORD nUrls; array STRING urls[nUrls]; }
template XSkinMeshHeader { WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace; WORD nBones; }
template SkinWeights { STRING transformNodeName; DWORD nWeights; array DWORD vertexIndices[nWeights];
  array FLOAT weights[nWeights]; Matrix4x4 matrixOffset; }
template VertexDuplicationIndices { DWORD nIndices; DWORD nOriginalVertices;
  array DWORD indices[nIndices]; }
template FVFData { DWORD dwFVF; DWORD nDWords; array DWORD data[nDWords]; }
template VertexElement { DWORD Type; DWORD Method; DWORD Usage; DWORD UsageIndex; }
template DeclData { DWORD nElements; array VertexElement Elements[nElements];
  DWORD nDWords; array DWORD data[nDWords]; }
template EffectInstance { STRING EffectFilename; [...] }
template EffectParamString { STRING ParamName; STRING Value; }
template EffectParamFloats { STRING ParamName; DWORD nFloats; array FLOAT Floats[nFloats]; }
template EffectParamDWord { STRING ParamName; DWORD Value; }
)";

constexpr std::uint64_t kUnreadable = ~std::uint64_t{0};
constexpr std::uint64_t kInProgress = kUnreadable - 1;
constexpr std::uint64_t kSaturated = std::uint64_t{1} << 62;

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > kSaturated / b ? kSaturated : a * b;
}

bool IsInteger(const MemberDef& m) {
  return m.primitive && m.dims.empty() && !IsReal(m.type) && !IsText(m.type) &&
         m.type != Primitive::Void;
}

bool Expect(TokenSource& source, TokenKind kind, Token& token, const char* what) {
  if (!source.Next(token)) return false;
  if (token.kind != kind)
    return source.errors().Fail(Status::BadFile,
                                std::string("expected ") + what + " in a template, found " +
                                    std::string(Describe(token.kind)),
                                token.offset);
  return true;
}

// The index of the earlier integer member called name, or -1.
int IntegerMember(const TemplateDef& def, std::string_view name) {
  for (std::size_t i = 0; i < def.members.size(); ++i)
    if (def.members[i].name == name && IsInteger(def.members[i])) return int(i);
  return -1;
}

// After a '[' that follows a member: an array size when the next token is a
// number or an earlier integer member (the ';' between members is not a
// token of its own, so "x[n]; [...]" reaches here too). Sets restriction to
// the token read when the bracket opens the child list instead.
bool ParseDimension(TokenSource& source, TemplateDef& def, MemberDef& member, Token& restriction) {
  Token token;
  if (!source.Next(token)) return false;
  Dimension dim;
  if (token.kind == TokenKind::Integer) {
    dim.size = token.integer;
  } else if (token.kind == TokenKind::Name && IntegerMember(def, token.text) >= 0) {
    dim.member = IntegerMember(def, token.text);
  } else {
    restriction = token;
    return true;
  }
  member.dims.push_back(dim);
  return Expect(source, TokenKind::CloseBracket, token, "']'");
}

// One member; when its last bracket turns out to open the child list, the
// token after that bracket is left in restriction.
bool ParseMember(TokenSource& source, TemplateDef& def, const Token& first, Token& restriction) {
  MemberDef member;
  Token token = first;
  const bool isArray = first.kind == TokenKind::Array;
  if (isArray && !source.Next(token)) return false;
  if (token.kind == TokenKind::Type) {
    member.type = token.type;
  } else if (token.kind == TokenKind::Name) {
    member.primitive = false;
    member.typeName = token.text;
  } else {
    return source.errors().Fail(Status::BadFile, "expected a member type", token.offset);
  }
  if (!Expect(source, TokenKind::Name, token, "a member name")) return false;
  member.name = token.text;
  while (restriction.kind == TokenKind::End) {
    Token next;
    if (!source.Peek(next)) return false;
    if (next.kind != TokenKind::OpenBracket) break;
    source.Next(next);
    if (!ParseDimension(source, def, member, restriction)) return false;
  }
  if (isArray && member.dims.empty())
    return source.errors().Fail(Status::BadFile, "array member " + std::string(member.name) + " has no valid size",
                                token.offset);
  def.members.push_back(std::move(member));
  return true;
}

// "[...]" (any child) or "[Name <GUID>, ...]" (only those), then "}".
bool ParseRestriction(TokenSource& source, TemplateDef& def, Token token) {
  def.children = ChildRule::Restricted;
  for (bool first = true;; first = false) {
    if (!first && !source.Next(token)) return false;
    switch (token.kind) {
      case TokenKind::Dot: def.children = ChildRule::Open; break;
      case TokenKind::Name: def.allowed.push_back(token.text); break;
      case TokenKind::Guid: break;
      case TokenKind::Type: break;  // "[BINARY]"-like restrictions name no template
      case TokenKind::CloseBracket: return Expect(source, TokenKind::CloseBrace, token, "'}'");
      default:
        return source.errors().Fail(Status::BadFile, "unexpected " + std::string(Describe(token.kind)) +
                                                         " in a template's child list",
                                    token.offset);
    }
  }
}

}  // namespace

const TemplateSet& TemplateSet::Standard() {
  static const TemplateSet standard = [] {
    TemplateSet set;
    ErrorState errors;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(kStandardTemplates.data());
    TextTokens source({bytes, kStandardTemplates.size()}, 0, errors);
    Token token;
    while (source.Next(token) && token.kind == TokenKind::Template) {
      TemplateDef def;
      if (!ParseTemplate(source, def)) break;
      set.Add(std::move(def));
    }
    return set;
  }();
  return standard;
}

const TemplateDef* TemplateSet::Find(std::string_view name) const {
  const auto it = byName_.find(name);
  if (it != byName_.end()) return it->second;
  return fallback_ ? fallback_->Find(name) : nullptr;
}

void TemplateSet::Add(TemplateDef def) {
  defs_.push_back(std::make_unique<TemplateDef>(std::move(def)));
  byName_[defs_.back()->name] = defs_.back().get();
}

bool ParseTemplate(TokenSource& source, TemplateDef& def) {
  Token token;
  if (!Expect(source, TokenKind::Name, token, "a template name")) return false;
  def.name = token.text;
  if (!Expect(source, TokenKind::OpenBrace, token, "'{'")) return false;
  if (!source.Peek(token)) return false;
  if (token.kind == TokenKind::Guid) {
    source.Next(token);
    def.guid = token.guid;
  }
  for (;;) {
    if (!source.Next(token)) return false;
    switch (token.kind) {
      case TokenKind::CloseBrace: return true;
      case TokenKind::OpenBracket:
        if (!source.Next(token)) return false;
        return ParseRestriction(source, def, token);
      case TokenKind::Array:
      case TokenKind::Type:
      case TokenKind::Name: {
        Token restriction;  // End: none started
        if (!ParseMember(source, def, token, restriction)) return false;
        if (restriction.kind != TokenKind::End) return ParseRestriction(source, def, restriction);
        break;
      }
      default:
        return source.errors().Fail(Status::BadFile,
                                    "unexpected " + std::string(Describe(token.kind)) + " in template " +
                                        std::string(def.name),
                                    token.offset);
    }
  }
}

std::optional<std::uint64_t> GenericReader::MinValues(const TemplateDef& def, int depth) {
  auto [it, inserted] = minValues_.try_emplace(&def, kInProgress);
  if (!inserted) {
    if (it->second >= kInProgress) return std::nullopt;  // unreadable, or contains itself
    return it->second;
  }
  std::uint64_t total = 0;
  bool readable = depth <= kMaxDepth;
  for (const MemberDef& member : def.members) {
    if (!readable) break;
    std::uint64_t count = 1;
    for (const Dimension& dim : member.dims) count = SaturatingMultiply(count, dim.member < 0 ? dim.size : 0);
    std::uint64_t each = member.type == Primitive::Void ? 0 : 1;
    if (!member.primitive) {
      const TemplateDef* sub = templates_.Find(member.typeName);
      const std::optional<std::uint64_t> subValues = sub ? MinValues(*sub, depth + 1) : std::nullopt;
      if (!subValues) readable = false;
      each = subValues.value_or(0);
    }
    total = std::min(kSaturated, total + SaturatingMultiply(count, each));
  }
  minValues_[&def] = readable ? total : kUnreadable;
  if (!readable) return std::nullopt;
  return total;
}

bool GenericReader::ReadMembers(const TemplateDef& def, int depth) {
  if (depth > kMaxDepth)
    return source_.errors().Fail(Status::BadFile, "templates nested too deeply", source_.Offset());
  // Values of integer members, for later array sizes; on the stack for the
  // common small templates, as this runs once per element of every array.
  std::array<std::uint32_t, 16> small{};
  std::vector<std::uint32_t> large;
  std::uint32_t* scalars = small.data();
  if (def.members.size() > small.size()) {
    large.assign(def.members.size(), 0);
    scalars = large.data();
  }
  for (std::size_t i = 0; i < def.members.size(); ++i) {
    const MemberDef& member = def.members[i];
    std::uint64_t count = 1;
    for (const Dimension& dim : member.dims)
      count = SaturatingMultiply(count, dim.member < 0 ? dim.size : scalars[std::size_t(dim.member)]);
    const bool ok = member.primitive ? ReadPrimitives(member, count, scalars[i])
                                     : ReadStructures(member, count, depth);
    if (!ok) return false;
  }
  return true;
}

bool GenericReader::ReadPrimitives(const MemberDef& member, std::uint64_t count, std::uint32_t& scalar) {
  if (member.type == Primitive::Void) return true;
  if (count > source_.MaxValuesLeft())
    return source_.errors().Fail(Status::BadFile,
                                 "member " + std::string(member.name) + " declares " + std::to_string(count) +
                                     " values, more than the rest of the file holds",
                                 source_.Offset());
  if (IsText(member.type)) {
    std::string text;
    for (std::uint64_t i = 0; i < count; ++i)
      if (!source_.ReadString(text)) return false;
    return true;
  }
  constexpr std::size_t kChunk = 256;
  std::array<std::uint32_t, kChunk> buffer;
  for (std::uint64_t done = 0; done < count;) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(kChunk, count - done));
    bool ok;
    if (IsReal(member.type)) ok = source_.ReadFloats(reinterpret_cast<float*>(buffer.data()), n);
    else if (IsSigned(member.type)) ok = source_.ReadInts(reinterpret_cast<std::int32_t*>(buffer.data()), n);
    else ok = source_.ReadUints(buffer.data(), n);
    if (!ok) return false;
    done += n;
  }
  if (IsInteger(member)) scalar = buffer[0];
  return true;
}

bool GenericReader::ReadStructures(const MemberDef& member, std::uint64_t count, int depth) {
  const TemplateDef* sub = templates_.Find(member.typeName);
  const std::optional<std::uint64_t> each = sub ? MinValues(*sub, depth + 1) : std::nullopt;
  if (!each)
    return source_.errors().Fail(Status::BadFile,
                                 "member " + std::string(member.name) + " has unknown template " +
                                     std::string(member.typeName),
                                 source_.Offset());
  if (*each == 0) return true;  // nothing to read, however many
  if (SaturatingMultiply(count, *each) > source_.MaxValuesLeft())
    return source_.errors().Fail(Status::BadFile,
                                 "member " + std::string(member.name) + " declares " + std::to_string(count) +
                                     " elements, more than the rest of the file holds",
                                 source_.Offset());
  for (std::uint64_t i = 0; i < count; ++i)
    if (!ReadMembers(*sub, depth + 1)) return false;
  return true;
}

}  // namespace kv::xfile::detail
