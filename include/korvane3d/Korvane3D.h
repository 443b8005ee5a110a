// Korvane 3D: everything an application needs, in one include.
//
//   #include <korvane3d/Korvane3D.h>
//
// The components (view, scene, camera, frames, visual objects, lights,
// keyboard and mouse) with their property objects, forms and form files, the
// application loop, timers and threads, and the choice of platform backend
// (a real window through SDL2, or off screen). Everything lives in namespace
// kv, the Windows-style names of the platform layer included, so other
// headers (X11's, SDL's) may come before or after this one.
#pragma once

#include "korvane3d/Version.h"

#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Controls.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/FormStream.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/host/Thread.h"
#include "korvane3d/host/Timer.h"

#include "korvane3d/package/Kv.h"
#include "korvane3d/frames/Kv3dcamera.h"
#include "korvane3d/frames/Kv3dframe.h"
#include "korvane3d/input/Kvikeyboard.h"
#include "korvane3d/input/Kvimouse.h"
#include "korvane3d/objects/Kv3dface.h"
#include "korvane3d/objects/Kv3dfile.h"
#include "korvane3d/objects/Kv3dmaterial.h"
#include "korvane3d/objects/Kv3dmesh.h"
#include "korvane3d/objects/Kv3dobject.h"
#include "korvane3d/objects/Kv3dquality.h"
#include "korvane3d/objects/Kv3dshadow.h"
#include "korvane3d/objects/Kv3dshape.h"
#include "korvane3d/objects/Kv3dtexture.h"
#include "korvane3d/objects/Kv3dwrap.h"
#include "korvane3d/scene/Kv3dlight.h"
#include "korvane3d/scene/Kv3dscene.h"
#include "korvane3d/view/Kv3dview.h"
#include "korvane3d/view/Kv3dviewquality.h"
