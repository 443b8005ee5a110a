#include "korvane3d/package/Kv.h"

#include <cfenv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Error.h"
#include "korvane3d/host/Forms.h"
#include "korvane3d/platform/win/WinApi.h"

namespace kv {

std::atomic<HRESULT> LastDXResult{0};

namespace {

std::unique_ptr<SharedRuntime>& RuntimeSlot() {
  static std::unique_ptr<SharedRuntime> runtime = std::make_unique<SharedRuntime>();
  return runtime;
}

// The exact name under which kverror.dll exports its text function.
constexpr const char* kErrorStringExport = "@GetDXErrorString$ql";

HWND MainFormWindow() {
  TForm* form = Application().MainForm();
  return form != nullptr && form->HandleAllocated() ? form->Handle() : nullptr;
}

}  // namespace

struct SharedRuntime::ErrorLibrary {
  HMODULE module = nullptr;
  GetDXErrorStringFunc getText = nullptr;
  explicit ErrorLibrary(HMODULE loaded) : module(loaded) {
    getText = reinterpret_cast<GetDXErrorStringFunc>(GetProcAddress(module, kErrorStringExport));
  }
  ~ErrorLibrary() { FreeLibrary(module); }
  ErrorLibrary(const ErrorLibrary&) = delete;
  ErrorLibrary& operator=(const ErrorLibrary&) = delete;
};

SharedRuntime::~SharedRuntime() { UnloadErrorLibrary(); }

SharedRuntime::LibraryState SharedRuntime::ErrorLibraryState() const {
  MutexLock lock(errorMutex_);
  return libraryState_;
}

void SharedRuntime::UnloadErrorLibrary() {
  std::shared_ptr<const ErrorLibrary> released;
  MutexLock lock(errorMutex_);
  released = std::move(errorLibrary_);
  libraryState_ = LibraryState::NotLoaded;
}

SharedRuntime& Runtime() { return *RuntimeSlot(); }

void ResetSharedRuntime() { RuntimeSlot() = std::make_unique<SharedRuntime>(); }

IDirect3DRM* SharedD3DRM() { return Runtime().d3drm.Get(); }
IDirect3DRM3* SharedD3DRM3() { return Runtime().d3drm3.Get(); }
IDirect3DRMFrame3* SharedRootFrame() { return Runtime().rootFrame.Get(); }

bool InitDirect3DRM() {
  SharedRuntime& rt = Runtime();
  HRESULT hr = Direct3DRMCreate(rt.d3drm.ReleaseAndGetAddressOf());
  LastDXResult = hr;
  if (FAILED(hr)) return ReportDXError(hr, "Direct3DRMCreate FAILED", false);
  hr = rt.d3drm.As(IID_IDirect3DRM3, rt.d3drm3);
  LastDXResult = hr;
  if (FAILED(hr)) return ReportDXError(hr, "IDirect3DRM3 QueryInterface FAILED", false);
  if (rt.d3drm3) ReportDXError(rt.d3drm3->CreateFrame(nullptr, rt.rootFrame.ReleaseAndGetAddressOf()), nullptr, false);
  return true;
}

// ---- Conversions -------------------------------------------------------------

namespace {
constexpr long double kOneBy255 = 0.00392156862745098L;
constexpr long double kPi = 3.141592653589793;  // the double value, widened
constexpr long double kOneBy180 = 0.005555555555555556L;
constexpr long double kOneByPi = 0.3183098861837907L;

std::uint32_t ScaleTo255(D3DVALUE component) {
  // Truncation toward zero, no clamping: callers pass 0..1.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(static_cast<long double>(component) * 255.0L));
}
}  // namespace

void ColorToD3DValues(TColor color, D3DVALUE& red, D3DVALUE& green, D3DVALUE& blue) {
  const auto c = static_cast<std::uint32_t>(color);
  red = static_cast<D3DVALUE>((c & 0xFF) * kOneBy255);
  green = static_cast<D3DVALUE>(((c >> 8) & 0xFF) * kOneBy255);
  blue = static_cast<D3DVALUE>(((c >> 16) & 0xFF) * kOneBy255);
}

std::uint32_t D3DValuesToColor(D3DVALUE red, D3DVALUE green, D3DVALUE blue) {
  return (ScaleTo255(red) << 16) | (ScaleTo255(green) << 8) | ScaleTo255(blue);
}

std::uint32_t ColorToD3DColor(TColor color) {
  D3DVALUE r = 0, g = 0, b = 0;
  ColorToD3DValues(color, r, g, b);
  return D3DValuesToColor(r, g, b);
}

long double DegToRad(double degrees) { return degrees * kPi * kOneBy180; }
long double RadToDeg(double radians) { return radians * 180.0L * kOneByPi; }

// ---- Errors --------------------------------------------------------------------

std::string DXErrorCaption(const char* context) {
  std::string caption = "DirectX Message";
  if (context != nullptr) caption += std::string(" - ") + context;
  if (caption.size() > kDXErrorCaptionSize - 1) caption.resize(kDXErrorCaptionSize - 1);
  return caption;
}

bool ReportDXError(HRESULT result, const char* context, bool force) {
  SharedRuntime& rt = Runtime();
  if (!force && !rt.reportAllDXErrors) return false;
  // The report holds the library for as long as it uses the library's
  // function and text: a view freed meanwhile on another thread unloads it
  // only afterwards.
  std::shared_ptr<const SharedRuntime::ErrorLibrary> library;
  bool announceLoadFailure = false;
  {
    MutexLock lock(rt.errorMutex_);
    if (rt.libraryState_ == SharedRuntime::LibraryState::NotLoaded) {
      if (HMODULE loaded = LoadLibraryA(rt.errorLibraryName.c_str())) {
        rt.errorLibrary_ = std::make_shared<const SharedRuntime::ErrorLibrary>(loaded);
        rt.libraryState_ = SharedRuntime::LibraryState::Loaded;
      } else {
        rt.libraryState_ = SharedRuntime::LibraryState::LoadFailed;
        announceLoadFailure = true;
      }
    }
    library = rt.errorLibrary_;
  }
  // The boxes are modal: show them outside the lock.
  if (announceLoadFailure) {
    MessageBoxA(nullptr, "Error loading kverror.dll", "Korvane Message", MB_TOPMOST | MB_ICONINFORMATION);
  }
  if (result != 0 && library != nullptr && library->getText != nullptr) {
    if (const char* text = library->getText(result)) {
      const std::string copied = text;
      const std::string caption = DXErrorCaption(context);
      MessageBoxA(MainFormWindow(), copied.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
    }
  }
  return result != 0;
}

void MaskFloatingPointExceptions() {
#if defined(__x86_64__) || defined(__i386__)
  // Both units: the SSE control (MXCSR bits 7 to 12) and the x87 control
  // word (bits 0 to 5), denormal operands included.
  _mm_setcsr(_mm_getcsr() | 0x1F80u);
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control = static_cast<unsigned short>(control | 0x3Fu);
  __asm__ volatile("fldcw %0" : : "m"(control));
#else
  fedisableexcept(FE_ALL_EXCEPT);
#endif
  std::feclearexcept(FE_ALL_EXCEPT);
}

void CheckDirectX() {
  bool present = false;
  if (HMODULE ddraw = LoadLibraryA(Runtime().directXLibraryName.c_str())) {
    FreeLibrary(ddraw);
    ComPtr<IDirect3DRM> probe;
    Direct3DRMCreate(probe.ReleaseAndGetAddressOf());
    ComPtr<IDirect3DRM3> probe3;
    if (probe) probe.As(IID_IDirect3DRM3, probe3);
    present = static_cast<bool>(probe3);
  }
  if (present) return;
  MessageBoxA(nullptr, "DirectX 6.0 is required!", "DirectX Error", MB_ICONINFORMATION);
  // A non-zero status, so that scripts and parents see the failure.
  ExitProcess(1);
}

// ---- Files -------------------------------------------------------------------------

std::string NormalizeFileName(const std::string& name) {
  std::string normalized = name;
  for (char& c : normalized) {
    if (c == '\\') c = '/';
  }
  return normalized;
}

bool FileFound(const std::string& name) {
  if (name.empty()) return false;
  HANDLE file = CreateFileA(name.c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return false;
  CloseHandle(file);
  return true;
}

std::string LocateFile(const std::string& fileName) {
  if (fileName.empty()) return {};
  const std::string name = NormalizeFileName(fileName);
  if (FileFound(name)) return name;
  // A name with a directory is looked for only where it points.
  if (name.find('/') != std::string::npos) return {};
  std::error_code ec;
  const std::filesystem::path current = std::filesystem::current_path(ec);
  if (!ec) {
    const std::string candidate = (current / name).string();
    if (FileFound(candidate)) return candidate;
  }
  const std::string exe = Application().ExeName();
  if (!exe.empty()) {
    const std::string candidate = (std::filesystem::path(exe).parent_path() / name).string();
    if (FileFound(candidate)) return candidate;
  }
  return {};
}

std::string LocateDataFile(const std::string& fileName, const TComponent* component) {
  std::string path = LocateFile(fileName);
  if (!path.empty() || fileName.empty() || component == nullptr) return path;
  const std::filesystem::path name(NormalizeFileName(fileName));
  const std::string folder = component->FormFolder();
  if (name.is_absolute() || folder.empty()) return {};
  const std::string candidate = (std::filesystem::path(folder) / name).string();
  return FileFound(candidate) ? candidate : std::string();
}

namespace {
std::mutex& FileReportMutex() {
  static std::mutex mutex;
  return mutex;
}

FileReportHandler& FileReportSlot() {
  static FileReportHandler handler = [](const std::string& text) { std::fprintf(stderr, "korvane3d: %s\n", text.c_str()); };
  return handler;
}
}  // namespace

void ReportFileProblem(const std::string& text) {
  SetLastErrorText(text);
  FileReportHandler handler;
  {
    std::lock_guard lock(FileReportMutex());
    handler = FileReportSlot();
  }
  if (handler) handler(text);
}

FileReportHandler SetFileReportHandler(FileReportHandler handler) {
  std::lock_guard lock(FileReportMutex());
  return std::exchange(FileReportSlot(), std::move(handler));
}

void TFileReports::Problem(const TComponent* about, const std::string& text) {
  const std::string message = about != nullptr && !about->Name().empty() ? about->Name() + ": " + text : text;
  if (reported_.insert(message).second) {
    ReportFileProblem(message);
  } else {
    SetLastErrorText(message);
  }
}

}  // namespace kv
