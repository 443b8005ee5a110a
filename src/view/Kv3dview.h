// Unit Kv3dview: the view, the window in which a scene is shown.
//
// A view owns the whole chain of display objects it draws with
// (DisplayChain.h): the DirectDraw object, the primary surface, a back
// surface (the render target), a depth buffer, the Direct3D device, the
// retained-mode device and the viewport that looks through the camera.
// ChangeViewport releases and rebuilds that chain, windowed or full screen;
// the render loop (Kv3dviewloop.h) asks for it on its first pass and
// whenever a setter needs a new chain under automatic rendering.
// WaitUntilReady waits (serving the main thread) until the chain asked for
// is built.
//
// A frame is drawn in five steps: collision checking and OnFlip; moving the
// scene by RenderDelta, clearing and OnDrawBackGDI; rendering; OnDrawFrontGDI;
// presentation. Render runs them on the calling thread; with AutoRender the
// loop runs steps 2 to 4 on its own thread and the others on the main thread.
//
// The view's rendering settings live in TKV3DViewQuality (device quality)
// and TKV3DPlane (clipping and field of view), both in Kv3dviewquality.h,
// and in a few properties of the view (projection, handedness, render mode,
// back faces).
//
// Threads: every operation belongs to the main thread, except that the loop
// thread runs steps 2 to 4 on a snapshot of the chain taken on the main
// thread (FrameTargets), so it never reads the view's fields while the main
// thread changes them. Every thread that renders does so with the
// processor's floating-point exceptions masked. A handler of any of the
// view's events may free the view: the step under way then ends without
// touching it again.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "korvane3d/frames/SceneViewport.h"
#include "korvane3d/host/Controls.h"
#include "korvane3d/host/Event.h"
#include "korvane3d/host/Link.h"
#include "korvane3d/host/Lists.h"
#include "korvane3d/host/Persistent.h"
#include "korvane3d/host/Set.h"
#include "korvane3d/platform/ddraw/D3D.h"
#include "korvane3d/platform/ddraw/DDraw.h"
#include "korvane3d/rm/DeviceInterfaces.h"
#include "korvane3d/view/CollisionCandidates.h"
#include "korvane3d/view/CollisionSweep.h"
#include "korvane3d/view/DisplayChain.h"
#include "korvane3d/view/Kv3dviewloop.h"
#include "korvane3d/view/Kv3dviewquality.h"

namespace kv {

class TKV3DCamera;
class TKV3DCustomFrame;
class TKV3DFrame;
class TKV3DObject;
class TKV3DScene;
class TKV3DView;

// ---- Enumerations --------------------------------------------------------------

// Full-screen display modes; the ordinal indexes the table of texts
// (DisplayModeText). The default mode comes first.
enum TDisplayMode : std::uint8_t {
  dm640x480x16, dm320x200x16, dm320x200x24, dm320x200x32, dm320x240x16, dm320x240x24, dm320x240x32,
  dm400x300x16, dm400x300x24, dm400x300x32, dm512x384x16, dm512x384x24, dm512x384x32, dm640x400x16,
  dm640x400x24, dm640x400x32, dm640x480x24, dm640x480x32, dm800x600x16, dm800x600x24, dm800x600x32,
  dm1024x768x16, dm1024x768x24, dm1024x768x32, dm1152x864x16, dm1152x864x24, dm1152x864x32,
  dm1280x1024x16, dm1280x1024x24, dm1280x1024x32, dm1600x1200x16, dm1600x1200x24, dm1600x1200x32
};
extern const EnumInfo kDisplayModeInfo;
// "640x480x16" for dm640x480x16; empty for an ordinal outside the table.
std::string DisplayModeText(int ordinal);
constexpr int kDisplayModeCount = 33;

enum TDriverType : std::uint8_t { dtRGB, dtHAL };
extern const EnumInfo kDriverTypeInfo;

// Five storage kinds without names, ordinals 0 to 4.
enum class TObjectStorage : std::uint8_t {};

// ---- Events --------------------------------------------------------------------

using TPickedEvent = TEvent<TObject*, TObject*, std::int32_t>;  // (Sender, PickedObject, Layer)
using TFlipErrorEvent = TEvent<TObject*, HRESULT>;               // (Sender, Error)
// TGDIEvent (Sender, hDC): Kv3dviewloop.h.

// Width, height and bit depth of a full-screen mode.
class TDisplayRec : public TObject {
 public:
  TDisplayRec(int width, int height, int bitsPerPixel)
      : Width(width), Height(height), BitsPerPixel(bitsPerPixel) {}
  int Width;
  int Height;
  int BitsPerPixel;
};

// ---- The view ----------------------------------------------------------------------

class TKV3DView : public TCustomControl, private RenderLoopClient, public ISceneViewer {
 public:
  KV_DECLARE_CLASS()
  explicit TKV3DView(TComponent* owner);
  ~TKV3DView() override;

  void Notification(TComponent* component, TOperation operation) override;

  // ---- Device chain and display modes ------------------------------------------------
  bool InitApp();
  // Rebuilds the chain for the requested full-screen state. False on
  // success and, with unforced error reports, also on failure.
  bool ChangeViewport();
  void CallChangeViewport();
  bool LastChangeResult() const { return lastChangeResult_; }
  void SetFullScreen(bool value);
  bool FullScreen() const { return fullScreen_; }
  bool FullScreenRequest() const { return fullScreenRequest_; }
  void SetFullScreenSwitch(bool value);
  bool FullScreenSwitch() const { return fullScreenSwitch_; }
  TDisplayMode DisplayMode() const { return displayMode_; }
  // A mode the display does not offer is refused silently.
  void SetDisplayMode(TDisplayMode mode);
  std::string GetDisplayMode() const;
  bool DisplayModeStr(const std::string& text);
  bool CheckDisplayModeValid(const std::string& text);
  // The texts of the modes the display offers (width x height x depth),
  // sorted as the mode list keeps them.
  std::vector<std::string> AvailableDisplayModes() const;
  const TDisplayRec& DisplayRec() const { return *displayRec_; }
  TDriverType DriverType() const { return driverType_; }
  void SetDriverType(TDriverType) {}
  int GetWidth();
  // Ignored in full screen; refused beyond what a window may be (Controls.h).
  bool SetWidth(int value);
  int GetHeight();
  bool SetHeight(int value);
  HWND GetCurrentHandle();
  void UpdatePos();
  const RECT& ClientRectOnScreen() const { return screenClientRect_; }
  const RECT& SavedWindowRect() const { return savedWindowRect_; }

  TKV3DScene* Scene() const { return scene_.get(); }
  void SetScene(TKV3DScene* value);
  TKV3DCamera* Camera() const { return camera_.get(); }
  void SetCamera(TKV3DCamera* value);

  IDirect3DRMDevice3* GetIDirect3DRMDevice3() const { return chain_->Device(); }
  IDirect3DRMViewport2* GetIDirect3DRMViewport2() const { return chain_->Viewport(); }
  IDirectDrawClipper* GetIDirect3DClipper() const { return chain_->Clipper(); }
  IDirectDrawSurface4* BackSurface() const { return chain_->Back(); }
  IDirectDrawSurface4* PrimarySurface() const { return chain_->Primary(); }
  IDirectDrawSurface4* DepthBuffer() const { return chain_->DepthBuffer(); }
  // Frames ask the view for the viewport of their scene.
  IDirect3DRMViewport2* ViewportForScene(IDirect3DRMFrame3* sceneFrame) override;

  // ---- Render loop and presentation --------------------------------------------------
  bool AutoRender() const { return autoRender_.load(); }
  void SetAutoRender(bool value);
  void RunRender(bool value);
  float RenderDelta() const { return renderDelta_; }
  void SetRenderDelta(float value) { renderDelta_ = value; }
  int GetFPS();
  void SetFPS(int value) { fps_ = value; }
  bool Render();
  void CallOnFlip();
  void CallOnDrawBackGDI();
  void RenderIM();
  void CallOnDrawFrontGDI();
  bool CallFlip();
  bool Flip();
  void Update3D();
  void UpdateEBR() {}
  void UpdateEAR() {}
  bool CanGet() const;
  // Serves the main thread until the view's device chain is built (the
  // render loop's first pass, or a change asked for since), then reports
  // whether the view can draw: a device is there. False when `timeout`
  // passes first. Main thread; call it after showing the form. It blocks in
  // the main thread's one wait and is woken by the loop's ready signal: no
  // polling, and at once when nothing is pending.
  bool WaitUntilReady(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Writes what the view last drew (the screen in full screen) as a PNG
  // file. False with the reason in LastErrorText() when nothing was drawn
  // yet or the file cannot be written. Main thread.
  bool SaveFrameToPNG(const std::string& fileName);
  // Under automatic rendering raises the loop's change request, otherwise
  // changes the viewport at once.
  void RequestViewportChange();
  // The chain's objects for steps 2 to 4 (main thread).
  FrameTargets TakeFrameTargets();
  // Steps 2 to 4 on the given targets (any thread). False when a handler
  // freed the view (possible on the main thread only).
  bool DrawFrame(const FrameTargets& targets);
  // Releases the chain from the viewport down to the primary, in that order.
  void ReleaseChain();
  TRenderLoop* RenderLoop() const { return renderLoop_.get(); }

  // The most attempts one Flip makes before it drops the frame.
  static constexpr int kMaxPresentAttempts = 3;

  // ---- Picking, collision checking and storage --------------------------------------
  bool AutoCheckCollision() const { return autoCheckCollision_; }
  void SetAutoCheckCollision(bool value) { autoCheckCollision_ = value; }
  const std::string& StorageFileName() const { return storageFileName_; }
  void SetStorageFileName(const std::string& value) { storageFileName_ = value; }
  // The objects of the last pick that still exist, by layer.
  std::vector<TKV3DObject*> PickedList() const;
  void GenPick(int x, int y);
  void FindTopParentFrame(IDirect3DRMFrame* frame);
  void CollisionChecking();
  // Tests one pair where its objects are now and reports a collision to both.
  void CheckObjects(TKV3DObject* a, TKV3DObject* b);
  void AddToStorage(TObjectStorage kind);
  void AddToStorage(TKV3DFrame* frame);
  void DeleteFromStorage(TKV3DFrame* frame);
  void DeleteFromStorage(const std::string& name);
  void ClearStorage();
  // Both do nothing without a storage file name; false with the last error
  // set when the file cannot be read or written.
  bool ReadStorage();
  bool WriteStorage();

  // ---- Quality, projection and clipping plane ----------------------------------------
  TKV3DViewQuality* Quality() const { return quality_.get(); }
  void SetQuality(const TKV3DViewQuality* value);
  TKV3DPlane* Plane() const { return plane_.get(); }
  void SetPlane(const TKV3DPlane* value);
  TProjectionType GetProjectionType();
  bool SetProjectionType(TProjectionType value);
  TProjectionHand GetProjectionHand();
  bool SetProjectionHand(TProjectionHand value);
  bool UniformScaling() const { return uniformScaling_; }
  void SetUniformScaling(bool value);
  TSetRMs GetRenderMode();
  void SetRenderMode(TSetRMs value);
  bool ShowBackFaces() const { return showBackFaces_; }
  void SetShowBackFaces(bool value);
  // Pushes quality, plane, render mode and back faces to a new chain.
  void Change();
  void ChangePlane(TObject* sender);
  void ChangeRenderMode();
  void ChangeShowBackFaces();
  // The D3DRMRENDERMODE flags of the stored render mode.
  DWORD RenderModeFlags() const;

  // ---- Events ----------------------------------------------------------------------
  TPickedEvent OnPicked;
  TNotifyEvent OnFlip;
  TFlipErrorEvent OnFlipError;
  TGDIEvent OnDrawBackGDI;
  TGDIEvent OnDrawFrontGDI;
  TNotifyEvent OnPaint;
  // OnResize is the control's.

 protected:
  void Paint() override;
  void Resize() override;
  void Dispatch(TMessage& message) override;
  void WMPaint(TMessage& message);
  void WMSize(TMessage& message);
  void WMCreate(TMessage& message);

 private:
  // The render loop's side (RenderLoopClient).
  void LoopChangeViewport() override;
  bool LoopBeginFrame(FrameTargets& targets) override;
  void LoopDrawFrame(const FrameTargets& targets) override { DrawFrame(targets); }
  void LoopPresent() override { CallFlip(); }

  bool IsLoading() const;
  void FillModeList();
  // Steps of ChangeViewport: empty to go on, else the result to return.
  ChainStep LeaveFullScreen();
  ChainStep BuildWindowed();
  ChainStep BuildFullScreen();
  bool PresentOnce(HRESULT& result);
  // Presentation cannot happen now (no window, a new window, lost
  // surfaces): what Flip does instead; true when it handled the frame.
  bool SkipPresentation();
  // Restores what was lost; asks for a new chain when that fails.
  void RecoverLostSurfaces();
  // CheckObjects; true when it reported (handlers ran).
  bool ReportCollision(TKV3DObject* a, TKV3DObject* b);
  // False when the handler freed the view.
  bool DrawGDI(IDirectDrawSurface4* back, const TGDIEvent& event);
  bool MoveAndClear(const FrameTargets& targets);
  void RenderScene(const FrameTargets& targets);
  TWinControl* ParentWindowControl() const;
  void StopRenderLoop();

  // Settings (published).
  Link<TKV3DScene> scene_;
  Link<TKV3DCamera> camera_;
  TDisplayMode displayMode_ = dm640x480x16;
  TDriverType driverType_ = dtRGB;
  std::atomic<bool> autoRender_{false};
  float renderDelta_ = 1.0f;
  int fps_ = 0;
  bool autoCheckCollision_ = false;
  std::string storageFileName_;
  TProjectionType projectionType_ = ptPerspective;
  TProjectionHand projectionHand_ = phLeftHand;
  bool uniformScaling_ = true;
  TSetRMs renderMode_;
  bool showBackFaces_ = false;
  std::unique_ptr<TKV3DPlane> plane_;
  std::unique_ptr<TKV3DViewQuality> quality_;

  // The display objects.
  std::unique_ptr<DisplayChain> chain_ = std::make_unique<DisplayChain>();

  // Display modes and windows.
  TStringList modeList_;
  std::vector<std::unique_ptr<TDisplayRec>> modeRecs_;  // the list's objects
  std::unique_ptr<TDisplayRec> displayRec_;
  bool fullScreen_ = false;
  bool fullScreenRequest_ = false;
  bool fullScreenSwitch_ = false;
  RECT savedWindowRect_{};
  RECT windowRect_{};
  RECT clientRect_{};
  RECT screenClientRect_{};
  HWND currentHandle_ = nullptr;
  HWND builtForWindow_ = nullptr;  // the view's window when the chain was last built
  bool forceSoftware_ = false;
  bool lastChangeResult_ = false;

  // Frame rate under manual rendering.
  FrameRateCounter manualFrameRate_;
  // The view's canvas is handed to one GDI event at a time. Shared, so that
  // a handler freeing the view leaves the lock to its holder.
  std::shared_ptr<std::mutex> gdiMutex_ = std::make_shared<std::mutex>();

  // Picking.
  // Not owning: an object freed later reads null and is left out.
  std::vector<Link<TKV3DObject>> pickedList_;
  // Collision checking keeps its working memory from frame to frame.
  TouchingPairFinder collisionPairs_;
  // The objects of the last collision pass; a running pass holds a second
  // reference (Kv3dviewpick.cpp).
  std::shared_ptr<CollisionCandidates> collisionCandidates_ = std::make_shared<CollisionCandidates>();

  // Last: it stops before the fields above go.
  std::unique_ptr<TRenderLoop> renderLoop_;
};

}  // namespace kv
