// Sending, posting, taking and dispatching messages. Posted messages come
// first, then the quit request, then WM_PAINT for a window with an update
// region, as on Windows.
#include "korvane3d/platform/win/BackendImpl.h"
#include "korvane3d/platform/win/MainThread.h"
#include "korvane3d/platform/win/MessageQueue.h"
#include "korvane3d/platform/win/WinApi.h"
#include "korvane3d/platform/win/WindowRegistry.h"

namespace kv {

using namespace kv::win::detail;

namespace win::detail {

void RunOnMainThread(const std::function<void()>& fn) {
  kv::platform::MainThreadCall call([&fn] { fn(); });
  call.PostAndWait();
}

namespace {

// The message PeekMessageA would take next, left in place.
std::optional<MSG> FindMessage(HWND wnd, UINT filterMin, UINT filterMax, bool remove) {
  auto& queue = MessageQueue::Instance();
  if (auto posted = queue.TakePosted(wnd, filterMin, filterMax, remove)) return posted;
  if (!wnd && MessageInRange(WM_QUIT, filterMin, filterMax)) {
    if (auto code = queue.TakeQuit(remove)) {
      return MSG{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<std::intptr_t>(*code)), 0, GetTickCount()};
    }
  }
  if (MessageInRange(WM_PAINT, filterMin, filterMax)) {
    auto& reg = WindowRegistry::Instance();
    auto lock = reg.Lock();
    if (HWND dirty = reg.FirstWindowNeedingPaint(wnd)) return MSG{dirty, WM_PAINT, 0, 0, GetTickCount()};
  }
  return std::nullopt;
}

}  // namespace

bool MessageWaiting(HWND filterWnd, UINT filterMin, UINT filterMax) {
  return FindMessage(filterWnd, filterMin, filterMax, false).has_value();
}

}  // namespace win::detail

namespace {

// Like Windows, taking messages also serves what other threads sent.
std::optional<MSG> TakeMessage(HWND wnd, UINT filterMin, UINT filterMax, bool remove) {
  kv::platform::RunMainThreadTasks();
  ActiveBackend()->PumpEvents();
  kv::platform::RunMainThreadTasks();
  return FindMessage(wnd, filterMin, filterMax, remove);
}

std::optional<std::uint64_t> UpdateSerial(HWND wnd) {
  auto& reg = WindowRegistry::Instance();
  auto lock = reg.Lock();
  WindowRecord* w = reg.Find(wnd);
  if (!w) return std::nullopt;
  return w->updateSerial;
}

}  // namespace

LRESULT SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (kv::platform::IsMainThread()) return CallWindowProcedure(wnd, msg, wParam, lParam);
  if (!IsWindow(wnd)) return 0;
  LRESULT result = 0;
  RunOnMainThread([&] { result = CallWindowProcedure(wnd, msg, wParam, lParam); });
  return result;
}

BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (wnd && !IsWindow(wnd)) return FALSE;
  MessageQueue::Instance().Post(MSG{wnd, msg, wParam, lParam, GetTickCount()});
  ActiveBackend()->Wake();
  return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax, UINT remove) {
  if (!msg || !kv::platform::IsMainThread()) return FALSE;
  auto taken = TakeMessage(wnd, filterMin, filterMax, (remove & PM_REMOVE) != 0);
  if (!taken) return FALSE;
  *msg = *taken;
  return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax) {
  if (!msg || !kv::platform::IsMainThread()) return -1;
  if (wnd && !IsWindow(wnd)) return -1;
  for (;;) {
    if (auto taken = TakeMessage(wnd, filterMin, filterMax, true)) {
      *msg = *taken;
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    if (wnd && !IsWindow(wnd)) return -1;  // the window went while waiting
    kv::platform::WaitOnMainThread(kv::platform::WakeOn::Tasks, std::nullopt, [&] {
      return MessageWaiting(wnd, filterMin, filterMax) || (wnd && !IsWindow(wnd));
    });
  }
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  if (msg->message != WM_PAINT) return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  auto before = UpdateSerial(msg->hwnd);
  LRESULT result = SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A procedure that ignored WM_PAINT would be asked again and again; treat
  // the region as painted, as the default handling would.
  if (before && UpdateSerial(msg->hwnd) == before) ValidateRect(msg->hwnd, nullptr);
  return result;
}

void PostQuitMessage(int exitCode) {
  MessageQueue::Instance().RequestQuit(exitCode);
  ActiveBackend()->Wake();
}

LRESULT DefWindowProcA(HWND wnd, UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(wnd, &paint);
      EndPaint(wnd, &paint);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}

}  // namespace kv
