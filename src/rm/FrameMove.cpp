// Move: advances a frame and everything below it by its spin and velocity
// and runs the move callbacks.
//
// Order, for each frame, parents before children and children in insertion
// order: (1) the frame's pre-order callbacks in registration order, (2) its
// spin, turning its axes about its own origin, (3) its velocity, (4) its
// children, (5) its post-order callbacks.
//
// Callbacks run on the calling thread with the engine lock held and may call
// any engine method. What they change takes effect as follows:
// - a callback removed (or added) by another callback during a pass is
//   skipped (or first runs on the next Move);
// - a frame's children are read after its own callbacks ran, so children
//   added there move in the same pass, children taken away do not;
// - a frame re-parented away from the part being moved before it is reached
//   is skipped; each frame moves at most once per Move call.
#include <algorithm>
#include <cmath>

#include "korvane3d/rm/Frame.h"
#include "korvane3d/rm/FramePositions.h"

namespace kv::rm {
namespace {

std::uint64_t NextMoveStamp() {
  static std::uint64_t stamp = 0;  // guarded by the engine lock
  return ++stamp;
}

bool SameAxes(const Mat4& a, const Mat4& b) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (a.m[r][c] != b.m[r][c]) return false;
  return true;
}

}  // namespace

HRESULT Frame::AddMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg, DWORD flags) {
  if (!cb || flags > D3DRMCALLBACK_POSTORDER) return D3DRMERR_BADVALUE;
  EngineLock lock;
  moveCallbacks_.push_back({cb, arg, flags});
  return D3DRM_OK;
}

HRESULT Frame::DeleteMoveCallback(D3DRMFRAME3MOVECALLBACK cb, void* arg) {
  EngineLock lock;
  auto it = std::find_if(moveCallbacks_.begin(), moveCallbacks_.end(),
                         [&](const MoveCallback& c) { return c.cb == cb && c.arg == arg; });
  if (it == moveCallbacks_.end()) return D3DRMERR_NOTFOUND;
  moveCallbacks_.erase(it);
  return D3DRM_OK;
}

void Frame::RunMoveCallbacks(DWORD order, float delta) {
  if (moveCallbacks_.empty()) return;
  const std::vector<MoveCallback> snapshot = moveCallbacks_;
  for (const MoveCallback& c : snapshot) {
    if (c.flags != order) continue;
    if (std::find(moveCallbacks_.begin(), moveCallbacks_.end(), c) == moveCallbacks_.end()) continue;
    c.cb(this, c.arg, delta);
  }
}

void Frame::ApplyMotion(float delta) {
  if ((rotationAngle_ != 0 && !IsZero(rotationAxis_)) || !IsZero(velocity_)) NotePlacementChange();
  if (rotationAngle_ != 0 && !IsZero(rotationAxis_)) {
    Mat4 turn = RotationMatrix(rotationAxis_, rotationAngle_ * delta);
    Vec3 origin = local_.Translation();
    bool orthogonal = HasOrthogonalRows(local_);
    if (!spinLengthsValid_ || !SameAxes(local_, afterSpin_)) spinLengths_ = RowLengths(local_);
    local_ = local_ * turn;
    local_.SetTranslation(origin);  // the spin turns the frame about its own origin
    // A turn keeps lengths and angles; restoring them stops rounding from
    // growing over thousands of steps.
    if (orthogonal) Reorthogonalize(local_, spinLengths_);
    afterSpin_ = local_;
    spinLengthsValid_ = true;
    if (velocityWithRotation_) velocity_ = TransformDirection(velocity_, turn);
  }
  if (!IsZero(velocity_)) local_.SetTranslation(local_.Translation() + velocity_ * delta);
}

HRESULT Frame::Move(D3DVALUE delta) {
  if (!std::isfinite(delta)) return D3DRMERR_BADVALUE;
  EngineLock lock;
  const std::uint64_t stamp = NextMoveStamp();

  struct Step {
    ComPtr<Frame> frame;
    std::vector<ComPtr<Frame>> children;
    size_t next = 0;
  };
  std::vector<Step> stack;  // explicit, so deep hierarchies cannot exhaust the call stack
  auto enter = [&](ComPtr<Frame> frame) {
    if (frame->moveStamp_ == stamp) return;
    frame->moveStamp_ = stamp;
    frame->RunMoveCallbacks(D3DRMCALLBACK_PREORDER, delta);
    frame->ApplyMotion(delta);
    std::vector<ComPtr<Frame>> children(frame->children_.begin(), frame->children_.end());
    stack.push_back({std::move(frame), std::move(children)});
  };

  enter(ComPtr<Frame>(this));
  while (!stack.empty()) {
    Step& top = stack.back();
    if (top.next < top.children.size()) {
      ComPtr<Frame> child = top.children[top.next++];
      if (child->parent_ == top.frame.Get()) enter(std::move(child));
      continue;
    }
    ComPtr<Frame> done = std::move(top.frame);
    stack.pop_back();
    done->RunMoveCallbacks(D3DRMCALLBACK_POSTORDER, delta);
  }
  return D3DRM_OK;
}

}  // namespace kv::rm
