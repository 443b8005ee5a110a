// Unit Kv3dcamera: the frame through which a view looks at its scene. A new
// camera stands 10 units behind the origin of its reference frame, looking
// along +z toward it.
#pragma once

#include "korvane3d/frames/Kv3dframe.h"

namespace kv {

class TKV3DCamera : public TKV3DCustomFrame {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DCamera(TComponent* owner);
  static constexpr float kStartZ = -10.0f;
};

}  // namespace kv
