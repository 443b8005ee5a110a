#include "korvane3d/frames/Kv3dcamera.h"

#include "korvane3d/host/PropertyBuilder.h"

namespace kv {

const TClassInfo& TKV3DCamera::StaticClass() {
  static const TClassInfo info = DefineClass<TKV3DCamera, TKV3DCustomFrame>("TKV3DCamera", [](PropertyBuilder<TKV3DCamera>& p) {
    p.Event("OnMove", static_cast<TNotifyEvent TKV3DCamera::*>(&TKV3DCamera::OnMove));
    p.Reference("ParentFrame", &TKV3DCamera::ParentFrame, &TKV3DCamera::SetParentFrame);
    p.Object("Position", &TKV3DCamera::Position, &TKV3DCamera::SetPosition);
    p.Object("Rotation", &TKV3DCamera::Rotation, &TKV3DCamera::SetRotation);
    p.Object("Orientation", &TKV3DCamera::Orientation, &TKV3DCamera::SetOrientation);
    p.Object("Velocity", &TKV3DCamera::Velocity, &TKV3DCamera::SetVelocity);
  });
  return info;
}

TKV3DCamera::TKV3DCamera(TComponent* owner) : TKV3DCustomFrame(owner) {
  Position()->SetStartZ(kStartZ);
  Position()->SetZ(kStartZ);
}

}  // namespace kv
