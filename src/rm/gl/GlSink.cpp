// The GL sink: a batch's draws as GL draw calls. Draws whose vertices carry
// their final colours go to GL as they are (one indexed call); the others
// (colours per face, flat shading, texture wraps, wireframe, points, sorted
// transparency) are first expanded on the CPU into one vertex per corner
// with the colours the rasterizer's set-up would give that corner.
#include <algorithm>
#include <cstddef>

#include "korvane3d/rm/gl/GlInternal.h"
#include "korvane3d/rm/gl/GlRenderer.h"
#include "korvane3d/rm/raster/Rasterizer.h"
#include "korvane3d/rm/raster/TileOutput.h"

namespace kv::glraster {

namespace {

enum class Source : std::uint8_t { Indexed, Expanded };

// One GL draw call: a run of primitives of one draw.
struct Piece {
  std::uint32_t draw = 0;
  GLenum mode = GL_TRIANGLES;
  Source source = Source::Expanded;
  std::uint32_t first = 0, count = 0;  // indices (Indexed) or expanded vertices
};

// A triangle of a sorted-transparency draw, waiting for the far-to-near sort.
struct SortedTriangle {
  float depth;
  std::uint32_t draw, triangle;
};

struct CornerValues {
  float attr[kr::kAttrCount];
};

class GlSink final : public kr::BatchSink {
 public:
  explicit GlSink(std::shared_ptr<kv::ddraw::GlContext> context) : context_(std::move(context)) {}
  ~GlSink() override;
  bool Init(std::string& why);

  kr::Result BeginFrame(const kr::SinkFrame& frame) override;
  kr::Result DrawBatch(const kr::SinkBatch& batch) override;
  kr::Result EndFrame() override;

 private:
  void Clear(const kr::SinkBatch& batch);
  void Plan(const kr::SinkBatch& batch);
  void PlanSolid(std::uint32_t d);
  void PlanWire(std::uint32_t d, std::vector<Piece>& into);
  void PlanPoints(std::uint32_t d, std::vector<Piece>& into);
  void PlanSorted();
  void ExpandTriangle(std::uint32_t d, std::uint32_t t);
  bool Emit(const Piece& piece);
  bool ApplyState(const Piece& piece);
  bool Rejected(const kr::DrawRecord& draw, std::uint32_t t) const;
  // A window context shows 32-bit targets from the framebuffer itself.
  bool ShowsInWindow() const {
    return context_->DrawsToWindow() && frame_.target.format == kr::PixelFormat::Xrgb8888 &&
           frame_.target.pitch % 4 == 0;
  }
  // Before the first batch that changes colour: the target's pixels go up
  // unless that batch clears the viewport, and from then on the framebuffer
  // holds the frame. A frame that changes no colour reads nothing back.
  // In a window the picture is what the surface shows: the surface puts
  // what the CPU draws there into the picture itself, and what it read back
  // from the picture is no news, so only a framebuffer just made takes the
  // target's pixels (memory read back before a clear would come back).
  void BeforeColorChanges(const kr::SinkBatch& batch) {
    const bool clears = batch.clearFlags & kr::kClearTarget;
    if (colorChanged_ || (!clears && batch.drawCount == 0)) return;
    colorChanged_ = true;
    const kr::Rect& vp = frame_.scissor;
    const bool pictureIsCurrent = ShowsInWindow() && !target_->JustMade();
    if (!clears && !pictureIsCurrent && vp.width > 0 && vp.height > 0) target_->Refresh(frame_.target, vp);
    target_->MarkDrawn();
    if (ShowsInWindow()) PublishPicture();
  }
  void PublishPicture() {
    context_->SetPicture(target_->Framebuffer(), target_->ColorTexture(), target_->Width(), target_->Height());
  }
  bool CulledOnScreen(const kr::DrawRecord& draw, const kr::DrawState& state, std::uint32_t t) const;
  kr::ClipVertex CornerVertex(std::uint32_t vertex, const CornerValues& values) const;

  std::shared_ptr<kv::ddraw::GlContext> context_;
  bool ready_ = false;
  std::unique_ptr<GlPrograms> programs_;
  GlProgram* program_ = nullptr;  // in use
  std::unique_ptr<GlTextureCache> textures_;
  std::unique_ptr<GlTarget> target_;
  GLuint vertexArrays_[2] = {0, 0};  // Source::Indexed, Source::Expanded
  GLuint buffers_[3] = {0, 0, 0};    // batch vertices, batch indices, expanded vertices

  kr::SinkFrame frame_;
  bool inFrame_ = false;
  bool colorChanged_ = false;  // this frame: a batch cleared or drew colour
  std::uint8_t nextStencil_ = 0;  // 0: the stencil is not cleared yet this frame
  std::vector<std::uint8_t> coverIds_;  // per draw of the batch: its stencil number, 0 until drawn
  const kr::SinkBatch* batch_ = nullptr;
  std::vector<kr::ClipVertex> expanded_;
  std::vector<Piece> pieces_, late_;
  std::vector<SortedTriangle> sorted_;
};

void BindClipVertexLayout(GLuint vertexArray, GLuint buffer) {
  glBindVertexArray(vertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  const GLsizei stride = sizeof(kr::ClipVertex);
  auto attribute = [&](GLuint location, GLint size, std::size_t offset) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
  };
  attribute(0, 4, offsetof(kr::ClipVertex, x));
  attribute(1, 4, offsetof(kr::ClipVertex, c));
  attribute(2, 3, offsetof(kr::ClipVertex, s));
  attribute(3, 1, offsetof(kr::ClipVertex, fog));
  attribute(4, 2, offsetof(kr::ClipVertex, u));
}

bool GlSink::Init(std::string& why) {
  if (!context_->MakeCurrent()) {
    why = "the OpenGL context cannot be made current";
    return false;
  }
  programs_ = std::make_unique<GlPrograms>();
  textures_ = std::make_unique<GlTextureCache>();
  target_ = std::make_unique<GlTarget>();
  // The plainest variant, built now so that a context that cannot compile
  // shaders is found before the device is made.
  ready_ = programs_->For(0, why) != nullptr;
  if (ready_) {
    glGenVertexArrays(2, vertexArrays_);
    glGenBuffers(3, buffers_);
    BindClipVertexLayout(vertexArrays_[0], buffers_[0]);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers_[1]);  // part of the indexed vertex array's state
    BindClipVertexLayout(vertexArrays_[1], buffers_[2]);
    glBindVertexArray(0);
  }
  context_->ReleaseCurrent();
  return ready_;
}

GlSink::~GlSink() {
  context_->SetPicture(0, 0, 0, 0);
  if (!context_->MakeCurrent()) {
    // The context is lost; its objects went with it, and no GL call may be
    // made without a current context.
    if (target_) target_->Abandon();
    if (textures_) textures_->Abandon();
    if (programs_) programs_->Abandon();
    return;
  }
  target_.reset();
  textures_.reset();
  programs_.reset();
  glDeleteBuffers(3, buffers_);
  glDeleteVertexArrays(2, vertexArrays_);
  context_->ReleaseCurrent();
}

kr::Result GlSink::BeginFrame(const kr::SinkFrame& frame) {
  if (!ready_) return {kr::Status::InvalidState, "the GL device did not start"};
  if (!context_->MakeCurrent()) return {kr::Status::InvalidState, "the OpenGL context cannot be made current"};
  if (kr::Result r = target_->Prepare(frame.target); !r) {
    context_->ReleaseCurrent();
    return r;
  }
  frame_ = frame;
  inFrame_ = true;
  nextStencil_ = 0;
  target_->Bind();
  const kr::Rect& vp = frame.scissor;
  glViewport(vp.x, vp.y, vp.width, vp.height);
  glScissor(vp.x, vp.y, vp.width, vp.height);
  glEnable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);  // alpha stays 0: the target's top byte
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_PROGRAM_POINT_SIZE);
  // The target's pixels go up at the first batch that changes colour, and
  // only when that batch does not clear them: most frames start with a
  // clear, and comparing or uploading a whole target costs as much as
  // drawing a light frame.
  colorChanged_ = false;
  program_ = nullptr;
  glActiveTexture(GL_TEXTURE0);
  return {};
}

kr::Result GlSink::EndFrame() {
  if (!inFrame_) return {kr::Status::InvalidState, "EndFrame without BeginFrame"};
  inFrame_ = false;
  const kr::Rect& vp = frame_.scissor;
  // In a window the picture stays in the framebuffer: the window shows it
  // from there, and the surface reads it back only when its memory is read.
  if (!colorChanged_ || vp.width <= 0 || vp.height <= 0) {
    // Nothing drawn: the target and the picture stay as they were.
  } else if (ShowsInWindow()) {
    PublishPicture();
  } else {
    target_->ReadBack(frame_.target, vp, frame_.dither);
  }
  textures_->Prune();
  const GLenum error = glGetError();
  glBindVertexArray(0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  context_->ReleaseCurrent();
  if (error != GL_NO_ERROR) return {kr::Status::InvalidState, "OpenGL reported an error while drawing the frame"};
  return {};
}

void GlSink::Clear(const kr::SinkBatch& batch) {
  const kr::Rect& vp = frame_.scissor;
  GLbitfield bits = 0;
  if (batch.clearFlags & kr::kClearTarget) {
    if (batch.background) {
      // Scaled on the CPU exactly as the software device scales it.
      std::vector<std::uint32_t>& plane = target_->Working();
      kr::TileTarget t;
      t.color = plane.data();
      t.colorPitch = frame_.target.width;
      t.colorSafeX = frame_.target.width;
      t.x0 = vp.x;
      t.y0 = vp.y;
      t.x1 = vp.x + vp.width;
      t.y1 = vp.y + vp.height;
      kr::FillTileBackground(t, *batch.background, vp);
      target_->Upload(plane.data(), frame_.target.width, vp);
    } else {
      const std::uint32_t c = batch.clearColor;
      glClearColor(static_cast<float>((c >> 16) & 255) / 255.0f, static_cast<float>((c >> 8) & 255) / 255.0f,
                   static_cast<float>(c & 255) / 255.0f, 0.0f);
      bits |= GL_COLOR_BUFFER_BIT;
    }
  }
  if (batch.clearFlags & kr::kClearDepth) {
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (bits) glClear(bits);
}

// Dropped as the set-up drops them: non-finite corners, or all three beyond
// one side of the view.
bool GlSink::Rejected(const kr::DrawRecord& draw, std::uint32_t t) const {
  const kr::BatchView& b = batch_->view;
  const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
  const std::uint16_t c0 = b.outcodes[idx[0]], c1 = b.outcodes[idx[1]], c2 = b.outcodes[idx[2]];
  return ((c0 | c1 | c2) & kr::kClipInvalid) || (c0 & c1 & c2);
}

// Culling as the set-up culls, for the primitives GL does not cull (lines).
// A triangle reaching behind the camera is kept: clipping decides there.
bool GlSink::CulledOnScreen(const kr::DrawRecord& draw, const kr::DrawState& state, std::uint32_t t) const {
  const kr::BatchView& b = batch_->view;
  const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
  float x[3], y[3];
  for (int k = 0; k < 3; ++k) {
    const kr::ClipVertex& v = b.vertices[idx[k]];
    if (!(v.w > 0)) return false;
    x[k] = frame_.map.centreX + frame_.map.halfWidth * v.x / v.w;
    y[k] = frame_.map.centreY - frame_.map.halfHeight * v.y / v.w;
  }
  const float area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  return area == 0 || (state.cullSign != 0 && (area > 0) == (state.cullSign > 0));
}

kr::ClipVertex GlSink::CornerVertex(std::uint32_t vertex, const CornerValues& values) const {
  kr::ClipVertex out = batch_->view.vertices[vertex];
  const float* a = values.attr;
  for (int i = 0; i < 4; ++i) out.c[i] = a[kr::kR + i];
  for (int i = 0; i < 3; ++i) out.s[i] = a[kr::kSR + i];
  out.u = a[kr::kU];
  out.v = a[kr::kV];
  out.fog = a[kr::kFog];
  return out;
}

void GlSink::ExpandTriangle(std::uint32_t d, std::uint32_t t) {
  const kr::BatchView& b = batch_->view;
  const kr::DrawRecord& draw = b.draws[d];
  const kr::DrawState& state = b.states[draw.state];
  CornerValues corners[3];
  for (int k = 0; k < 3; ++k) kr::CornerAttributes(b, draw, state, t, k, corners[k].attr);
  kr::ApplyWraps(state, corners);
  if (state.flatShade)  // one colour per face: its first corner's
    for (int k = 1; k < 3; ++k) std::copy(corners[0].attr + kr::kR, corners[0].attr + kr::kU, corners[k].attr + kr::kR);
  const std::uint32_t* idx = b.indices + draw.firstIndex + 3 * t;
  for (int k = 0; k < 3; ++k) expanded_.push_back(CornerVertex(idx[k], corners[k]));
}

void GlSink::PlanSolid(std::uint32_t d) {
  const kr::BatchView& b = batch_->view;
  const kr::DrawRecord& draw = b.draws[d];
  const kr::DrawState& state = b.states[draw.state];
  bool direct = draw.finalColors && !state.flatShade && !state.wrapU && !state.wrapV;
  for (std::uint32_t v = 0; direct && v < draw.vertexCount; ++v)
    direct = !(b.outcodes[draw.firstVertex + v] & kr::kClipInvalid);
  if (direct) {
    pieces_.push_back({d, GL_TRIANGLES, Source::Indexed, draw.firstIndex, 3 * draw.triangleCount});
    return;
  }
  Piece piece{d, GL_TRIANGLES, Source::Expanded, static_cast<std::uint32_t>(expanded_.size()), 0};
  for (std::uint32_t t = 0; t < draw.triangleCount; ++t)
    if (!Rejected(draw, t)) ExpandTriangle(d, t);
  piece.count = static_cast<std::uint32_t>(expanded_.size()) - piece.first;
  if (piece.count) pieces_.push_back(piece);
}

void GlSink::PlanWire(std::uint32_t d, std::vector<Piece>& into) {
  const kr::BatchView& b = batch_->view;
  const kr::DrawRecord& draw = b.draws[d];
  const kr::DrawState& state = b.states[draw.state];
  Piece piece{d, GL_LINES, Source::Expanded, static_cast<std::uint32_t>(expanded_.size()), 0};
  for (std::uint32_t t = 0; t < draw.triangleCount; ++t) {
    if (Rejected(draw, t) || CulledOnScreen(draw, state, t)) continue;
    const std::size_t at = expanded_.size();
    ExpandTriangle(d, t);
    const kr::ClipVertex corners[3] = {expanded_[at], expanded_[at + 1], expanded_[at + 2]};
    expanded_.resize(at);
    const std::uint8_t flags = draw.hasFaceData ? b.faces[draw.firstFace + t].edgeFlags : 7;
    for (int k = 0; k < 3; ++k) {
      if (!(flags & (1 << k))) continue;
      expanded_.push_back(corners[k]);
      expanded_.push_back(corners[(k + 1) % 3]);
    }
  }
  piece.count = static_cast<std::uint32_t>(expanded_.size()) - piece.first;
  if (piece.count) into.push_back(piece);
}

// A point has the colour its vertex has as a corner of the first face that
// uses it (as the solid and wireframe fills draw it); a vertex of no face
// takes the draw's colour.
void GlSink::PlanPoints(std::uint32_t d, std::vector<Piece>& into) {
  const kr::BatchView& b = batch_->view;
  const kr::DrawRecord& draw = b.draws[d];
  const kr::DrawState& state = b.states[draw.state];
  constexpr std::uint32_t kNone = ~std::uint32_t{0};
  std::vector<std::uint32_t> firstCorner;
  if (!draw.finalColors) {
    firstCorner.assign(draw.vertexCount, kNone);
    const std::uint32_t* idx = b.indices + draw.firstIndex;
    for (std::uint32_t c = 0; c < 3 * draw.triangleCount; ++c) {
      std::uint32_t& first = firstCorner[idx[c] - draw.firstVertex];
      if (first == kNone) first = c;
    }
  }
  Piece piece{d, GL_POINTS, Source::Expanded, static_cast<std::uint32_t>(expanded_.size()), 0};
  const float one[3] = {1, 1, 1};
  for (std::uint32_t i = 0; i < draw.vertexCount; ++i) {
    const std::uint32_t at = draw.firstVertex + i;
    if (b.outcodes[at] & (kr::kClipInvalid | kr::kClipNeeded)) continue;
    const kr::ClipVertex& v = b.vertices[at];
    if (draw.finalColors) {
      expanded_.push_back(v);
      continue;
    }
    CornerValues values;
    if (firstCorner[i] != kNone) {
      kr::CornerAttributes(b, draw, state, firstCorner[i] / 3, static_cast<int>(firstCorner[i] % 3), values.attr);
    } else {
      kr::ComposeColor(b.baseColors[at], state.faceLighting ? one : v.c, v.s, state, values.attr + kr::kR,
                       values.attr + kr::kSR);
      values.attr[kr::kU] = v.u;
      values.attr[kr::kV] = v.v;
      values.attr[kr::kFog] = v.fog;
    }
    expanded_.push_back(CornerVertex(at, values));
  }
  piece.count = static_cast<std::uint32_t>(expanded_.size()) - piece.first;
  if (piece.count) into.push_back(piece);
}

// Sorted-transparency triangles of the whole batch, far to near (ties in
// submission order), drawn after everything else in runs of one draw.
void GlSink::PlanSorted() {
  const kr::BatchView& b = batch_->view;
  const bool ortho = frame_.view.projection.type == kr::ProjectionType::Orthographic;
  for (SortedTriangle& s : sorted_) {
    const std::uint32_t* idx = b.indices + b.draws[s.draw].firstIndex + 3 * s.triangle;
    s.depth = 0;
    for (int k = 0; k < 3; ++k) s.depth += ortho ? b.vertices[idx[k]].z : b.vertices[idx[k]].w;
  }
  std::stable_sort(sorted_.begin(), sorted_.end(),
                   [](const SortedTriangle& a, const SortedTriangle& c) { return a.depth > c.depth; });
  for (const SortedTriangle& s : sorted_) {
    if (late_.empty() || late_.back().draw != s.draw || late_.back().mode != GL_TRIANGLES ||
        late_.back().first + late_.back().count != expanded_.size())
      late_.push_back({s.draw, GL_TRIANGLES, Source::Expanded, static_cast<std::uint32_t>(expanded_.size()), 0});
    ExpandTriangle(s.draw, s.triangle);
    late_.back().count += 3;
  }
}

void GlSink::Plan(const kr::SinkBatch& batch) {
  const kr::BatchView& b = batch.view;
  expanded_.clear();
  pieces_.clear();
  late_.clear();
  sorted_.clear();
  std::vector<Piece> lateWires;
  for (std::uint32_t d = 0; d < batch.drawCount; ++d) {
    const kr::DrawRecord& draw = b.draws[d];
    const kr::DrawState& state = b.states[draw.state];
    if (state.fill == kr::FillMode::Points) {
      PlanPoints(d, state.sorted ? lateWires : pieces_);
    } else if (state.fill == kr::FillMode::Wireframe) {
      PlanWire(d, state.sorted ? lateWires : pieces_);
    } else if (state.sorted) {
      for (std::uint32_t t = 0; t < draw.triangleCount; ++t)
        if (!Rejected(draw, t)) sorted_.push_back({0, d, t});
    } else {
      PlanSolid(d);
    }
  }
  late_ = std::move(lateWires);
  PlanSorted();
}

bool GlSink::ApplyState(const Piece& piece) {
  const kr::BatchView& b = batch_->view;
  const kr::DrawState& s = b.states[b.draws[piece.draw].state];
  glDepthFunc(s.depthTest ? GL_LEQUAL : GL_ALWAYS);
  glDepthMask(s.depthWrite ? GL_TRUE : GL_FALSE);
  if (s.coverOnce) {
    // Each pixel of the draw is darkened once however many of its faces
    // cover it (in however many runs it is drawn): the stencil marks the
    // pixels done with the draw's number.
    std::uint8_t& id = coverIds_[piece.draw];
    if (id == 0) {
      if (nextStencil_ == 0) {  // first this frame, or the numbers wrapped
        glStencilMask(0xff);
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        nextStencil_ = 1;
      }
      id = nextStencil_++;
    }
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, id, 0xff);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glEnable(GL_BLEND);
    glBlendColor(0, 0, 0, static_cast<float>(s.coverAlpha) / 255.0f);
    glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
  } else {
    glDisable(GL_STENCIL_TEST);
    if (s.blend) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
      glDisable(GL_BLEND);
    }
  }
  if (piece.mode == GL_TRIANGLES && s.cullSign != 0) {
    // GL's window rows are the target's (y down), so its counter-clockwise
    // is the set-up's positive area, which cullSign +1 culls.
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(s.cullSign > 0 ? GL_CW : GL_CCW);
  } else {
    glDisable(GL_CULL_FACE);
  }
  const std::shared_ptr<const kr::Texture>& texture = batch_->textures[piece.draw];
  const bool textured = s.texLevels && texture;
  if (textured) textures_->Bind(texture, frame_.filter);
  std::string why;
  GlProgram* program = programs_->For(FeaturesOf(s, textured), why);
  if (!program) return false;
  if (program != program_) {
    program->Use();
    program_ = program;
  }
  program->SetFog(frame_.fog.color);
  program->SetAlphaReference(s.blend);
  return true;
}

bool GlSink::Emit(const Piece& piece) {
  if (!ApplyState(piece)) return false;
  if (piece.source == Source::Indexed) {
    glBindVertexArray(vertexArrays_[0]);
    glDrawElements(piece.mode, static_cast<GLsizei>(piece.count), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<std::size_t>(piece.first) * sizeof(std::uint32_t)));
  } else {
    glBindVertexArray(vertexArrays_[1]);
    glDrawArrays(piece.mode, static_cast<GLint>(piece.first), static_cast<GLsizei>(piece.count));
  }
  return true;
}

kr::Result GlSink::DrawBatch(const kr::SinkBatch& batch) {
  if (!inFrame_) return {kr::Status::InvalidState, "DrawBatch outside a frame"};
  batch_ = &batch;
  coverIds_.assign(batch.drawCount, 0);
  BeforeColorChanges(batch);
  Clear(batch);
  if (batch.drawCount > 0) {
    Plan(batch);
    std::size_t vertexCount = 0, indexCount = 0;
    for (std::uint32_t d = 0; d < batch.drawCount; ++d) {
      const kr::DrawRecord& draw = batch.view.draws[d];
      vertexCount = std::max<std::size_t>(vertexCount, draw.firstVertex + draw.vertexCount);
      indexCount = std::max<std::size_t>(indexCount, draw.firstIndex + 3 * static_cast<std::size_t>(draw.triangleCount));
    }
    glBindVertexArray(vertexArrays_[0]);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCount * sizeof(kr::ClipVertex)),
                 batch.view.vertices, GL_STREAM_DRAW);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount * sizeof(std::uint32_t)),
                 batch.view.indices, GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[2]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(expanded_.size() * sizeof(kr::ClipVertex)),
                 expanded_.data(), GL_STREAM_DRAW);
    bool drawn = true;
    for (const Piece& piece : pieces_) drawn = Emit(piece) && drawn;
    for (const Piece& piece : late_) drawn = Emit(piece) && drawn;
    if (!drawn) {
      batch_ = nullptr;
      return {kr::Status::InvalidState, "a GL shader variant does not compile"};
    }
  }
  batch_ = nullptr;
  return {};
}

}  // namespace

std::shared_ptr<kr::BatchSink> CreateGlSink(std::shared_ptr<kv::ddraw::GlContext> context, std::string& why) {
  if (!context) {
    why = "no OpenGL context";
    return nullptr;
  }
  auto sink = std::make_shared<GlSink>(std::move(context));
  if (!sink->Init(why)) return nullptr;
  return sink;
}

}  // namespace kv::glraster
