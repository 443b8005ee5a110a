// Unit Kv: the services every component of the package shares.
//
// - The process-wide retained-mode root: one root object (SharedD3DRM /
//   SharedD3DRM3) and one parentless root frame (SharedRootFrame) under which
//   every frame without a parent frame hangs. They live in one explicit
//   runtime object (SharedRuntime) that tests can reset.
// - Colour and angle conversions between the framework's TColor / degrees and
//   the engine's float components / radians.
// - The DirectX error reporter, with the optional text library kverror.dll.
// - The DirectX presence check, and the lookup of data files by name.
// - Register: puts the package's components on the palette page "Korvane".
//
// Threads: LastDXResult and ReportDXError may be used from any thread; the
// rest belongs to the main thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "korvane3d/host/Color.h"
#include "korvane3d/platform/win/ThreadSafety.h"
#include "korvane3d/platform/win/Unknown.h"
#include "korvane3d/platform/win/WinTypes.h"
#include "korvane3d/rm/D3DRM.h"

namespace kv {

class TComponent;

// The result of the most recent DirectX call made through the shared
// services, the view and the keyboard: a last-value diagnostic only.
extern std::atomic<HRESULT> LastDXResult;

using GetDXErrorStringFunc = const char* (*)(HRESULT code);

// The process-wide root objects and the error reporter's state.
class SharedRuntime {
 public:
  ComPtr<IDirect3DRM> d3drm;
  ComPtr<IDirect3DRM3> d3drm3;
  ComPtr<IDirect3DRMFrame3> rootFrame;
  // Makes unforced error reports visible; nothing in the package sets it.
  bool reportAllDXErrors = false;
  // Module names the services load; tests point them at missing modules to
  // observe the failure paths.
  std::string errorLibraryName = "kverror.dll";
  std::string directXLibraryName = "DDRAW.DLL";

  // The error library, loaded at the first forced report.
  enum class LibraryState { NotLoaded, LoadFailed, Loaded };
  LibraryState ErrorLibraryState() const;
  // Lets the error library go; the next forced report loads it again (the
  // view calls this when it is destroyed). A report under way on another
  // thread keeps it loaded until that report is done.
  void UnloadErrorLibrary();

  SharedRuntime() = default;
  ~SharedRuntime();
  SharedRuntime(const SharedRuntime&) = delete;
  SharedRuntime& operator=(const SharedRuntime&) = delete;

 private:
  friend bool ReportDXError(HRESULT, const char*, bool);
  // A loaded error library; freed when the last holder lets it go.
  struct ErrorLibrary;
  mutable Mutex errorMutex_;
  LibraryState libraryState_ KV_GUARDED_BY(errorMutex_) = LibraryState::NotLoaded;
  std::shared_ptr<const ErrorLibrary> errorLibrary_ KV_GUARDED_BY(errorMutex_);
};

// The one runtime of the process (created on first use).
SharedRuntime& Runtime();
// Replaces the runtime by a fresh one (tests only): the root objects of the
// old one are released once no component holds them any more.
void ResetSharedRuntime();

// Shortcuts to the runtime's root objects (null until InitDirect3DRM).
IDirect3DRM* SharedD3DRM();
IDirect3DRM3* SharedD3DRM3();
IDirect3DRMFrame3* SharedRootFrame();

// Creates the root object, its IDirect3DRM3 interface and the root frame.
// Returns false (and leaves SharedD3DRM3 null) when the engine refuses.
bool InitDirect3DRM();

// ---- Conversions -----------------------------------------------------------
// TColor (red in the low byte) to float components from 0 to 1; the top byte
// (the framework's system-colour flag) is ignored.
void ColorToD3DValues(TColor color, D3DVALUE& red, D3DVALUE& green, D3DVALUE& blue);
// Float components to a packed 0x00RRGGBB value; each component is scaled by
// 255 and truncated (callers pass values from 0 to 1).
std::uint32_t D3DValuesToColor(D3DVALUE red, D3DVALUE green, D3DVALUE blue);
// A TColor as packed 0x00RRGGBB: red and blue exchanged, top byte cleared.
// Also turns the engine's 0xAARRGGBB back into a TColor.
std::uint32_t ColorToD3DColor(TColor color);
long double DegToRad(double degrees);
long double RadToDeg(double radians);

// ---- Errors ------------------------------------------------------------------
// Reports a DirectX result. Unforced reports are silent (unless
// reportAllDXErrors); forced ones show the text kverror.dll gives for a
// failed result. Returns true when result is nonzero. Never throws.
bool ReportDXError(HRESULT result, const char* context, bool force);
// The caption of a report's message box: "DirectX Message", or
// "DirectX Message - <context>", cut to fit 199 characters.
std::string DXErrorCaption(const char* context);
constexpr std::size_t kDXErrorCaptionSize = 200;

// Masks all six floating-point exceptions of the processor on the calling
// thread and clears their flags: the engine divides by zero on purpose in
// degenerate geometry and expects infinities, not signals. The view does
// this on every thread that renders; threads started afterwards by such a
// thread (the engine's drawing threads) inherit it.
void MaskFloatingPointExceptions();

// Returns when DirectX (the display layer and the retained-mode engine) is
// present; otherwise shows "DirectX 6.0 is required!" and ends the process
// with exit status 1.
void CheckDirectX();

// ---- Files -------------------------------------------------------------------
// Turns "\" into "/" so that names saved on Windows resolve here.
std::string NormalizeFileName(const std::string& name);
// Whether the file exists and can be opened.
bool FileFound(const std::string& name);
// The name itself when it exists; a name with a directory part is looked for
// only there; a bare name is then looked for in the current directory and in
// the program's directory. Empty when not found.
std::string LocateFile(const std::string& name);
// A file that a property of `component` names (a mesh, a texture, a
// background image): LocateFile first, then, for a relative name, the
// folder of the form file the component was read from
// (TComponent::FormFolder), so a form finds its files wherever the program
// runs. Empty when not found.
std::string LocateDataFile(const std::string& name, const TComponent* component);

// A data file named by a property could not be found or read: `text`
// becomes the calling thread's last error (LastErrorText) and goes to the
// file report handler, which writes it to stderr unless the application set
// another. The object that names the file stays usable, without what the
// file would have given (a texture draws untextured).
void ReportFileProblem(const std::string& text);
using FileReportHandler = std::function<void(const std::string& text)>;
// Replaces the handler (an empty one makes the reports silent) and returns
// the previous one. Any thread.
FileReportHandler SetFileReportHandler(FileReportHandler handler);

// The file problems of one property (a mesh's file, a texture, a background
// image). Each sets the last error; one reported already (the same missing
// file reloaded when a form has been read, or when another setting reloads
// it) is not reported again until a load without problems.
class TFileReports {
 public:
  // Reports "<component name>: <text>".
  void Problem(const TComponent* about, const std::string& text);
  // A load had no problems: later ones are new.
  void Clear() { reported_.clear(); }

 private:
  std::set<std::string> reported_;
};

// ---- Registration ----------------------------------------------------------
constexpr const char* kPalettePage = "Korvane";
// Registers the package's component classes on the page "Korvane", in
// palette order (see KvRegister.cpp for the list).
void Register();

}  // namespace kv
