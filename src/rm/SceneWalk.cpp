#include "korvane3d/rm/SceneWalk.h"

namespace kv::rm {
namespace {

constexpr std::size_t kMaxDepth = 1u << 16;  // instances nest far less; this only stops runaway data

struct Pending {
  Frame* frame;
  Mat4 parentWorld;
  std::size_t depth;
};

}  // namespace

void WalkScene(Frame& root, DWORD required, const std::function<void(const FrameVisit&)>& visit) {
  std::vector<Pending> stack{{&root, root.Parent() ? root.Parent()->WorldMatrix() : Mat4::Identity(), 0}};
  std::vector<Frame*> path;
  while (!stack.empty()) {
    Pending item = std::move(stack.back());
    stack.pop_back();
    if ((item.frame->TraversalOptions() & required) != required || item.depth >= kMaxDepth) continue;
    path.resize(item.depth);
    path.push_back(item.frame);
    Mat4 world = item.frame->LocalMatrix() * item.parentWorld;
    visit({item.frame, world, path});
    // Pushed in reverse so that they come off the stack in order.
    const auto& visuals = item.frame->Visuals();
    for (auto it = visuals.rbegin(); it != visuals.rend(); ++it)
      if (Frame* instance = Frame::From(it->Get())) stack.push_back({instance, world, item.depth + 1});
    const auto& children = item.frame->Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({it->Get(), world, item.depth + 1});
  }
}

std::vector<PlacedLight> CollectLights(Frame& root) {
  std::vector<PlacedLight> lights;
  WalkScene(root, 0, [&](const FrameVisit& v) {
    for (const auto& light : v.frame->Lights()) lights.push_back({light.Get(), v.world});
  });
  return lights;
}

bool LightReaches(const Light& light, std::span<Frame* const> path) {
  Frame* enable = light.EnableFrame();
  if (!enable) return true;
  for (Frame* f : path)
    if (f == enable) return true;
  // The enable frame may sit above where the walk began.
  return !path.empty() && enable->IsAncestorOrSelf(path.front());
}

}  // namespace kv::rm
