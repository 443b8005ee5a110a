// The Windows services the package and the framework call: windows and their
// messages, painting, message boxes, modules, file probing, ticks, sound,
// process exit, the cursor and system colours. Names and argument orders are
// Windows' own; behind them sits the backend chosen at start-up (Backend.h):
// SDL2 when a display is present, otherwise the deterministic headless one.
//
// Threads: windows, messages and message boxes belong to the main thread
// (the thread that selected the backend; without a selection, the first
// thread that needs the backend selects Auto and becomes it). Window
// procedures always run there: SendMessageA and the calls that change
// windows, made on another thread, are carried to the main thread and wait
// until it next takes messages (PeekMessageA, GetMessageA), as on Windows; a
// main thread that waits for that other thread without taking messages would
// wait for ever. PostMessageA, InvalidateRect, GetTickCount, Beep, the
// module, file and GDI functions may be called from any thread.
#pragma once

#include <functional>
#include <string>

#include "korvane3d/platform/win/WinTypes.h"

namespace kv {

// ---- Messages -------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE wParam
constexpr WPARAM WA_INACTIVE = 0;
constexpr WPARAM WA_ACTIVE = 1;
constexpr WPARAM WA_CLICKACTIVE = 2;

// Mouse messages' wParam: buttons and keys held. Their lParam is
// MAKELPARAM(x, y) in the window's client coordinates (signed 16-bit);
// WM_MOUSEWHEEL's is on the screen, its wheel turn in HIWORD(wParam) as a
// signed multiple of WHEEL_DELTA.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

// Virtual-key codes of WM_KEYDOWN/WM_KEYUP (letters and digits are their
// upper-case ASCII codes).
constexpr WPARAM VK_BACK = 0x08;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_SHIFT = 0x10;
constexpr WPARAM VK_CONTROL = 0x11;
constexpr WPARAM VK_MENU = 0x12;
constexpr WPARAM VK_PAUSE = 0x13;
constexpr WPARAM VK_CAPITAL = 0x14;
constexpr WPARAM VK_ESCAPE = 0x1B;
constexpr WPARAM VK_SPACE = 0x20;
constexpr WPARAM VK_PRIOR = 0x21;
constexpr WPARAM VK_NEXT = 0x22;
constexpr WPARAM VK_END = 0x23;
constexpr WPARAM VK_HOME = 0x24;
constexpr WPARAM VK_LEFT = 0x25;
constexpr WPARAM VK_UP = 0x26;
constexpr WPARAM VK_RIGHT = 0x27;
constexpr WPARAM VK_DOWN = 0x28;
constexpr WPARAM VK_INSERT = 0x2D;
constexpr WPARAM VK_DELETE = 0x2E;
constexpr WPARAM VK_NUMPAD0 = 0x60;  // to VK_NUMPAD9 = 0x69
constexpr WPARAM VK_MULTIPLY = 0x6A;
constexpr WPARAM VK_ADD = 0x6B;
constexpr WPARAM VK_SUBTRACT = 0x6D;
constexpr WPARAM VK_DECIMAL = 0x6E;
constexpr WPARAM VK_DIVIDE = 0x6F;
constexpr WPARAM VK_F1 = 0x70;  // to VK_F12 = 0x7B
constexpr WPARAM VK_NUMLOCK = 0x90;
constexpr WPARAM VK_SCROLL = 0x91;
constexpr WPARAM VK_LSHIFT = 0xA0;
constexpr WPARAM VK_RSHIFT = 0xA1;
constexpr WPARAM VK_LCONTROL = 0xA2;
constexpr WPARAM VK_RCONTROL = 0xA3;
constexpr WPARAM VK_LMENU = 0xA4;
constexpr WPARAM VK_RMENU = 0xA5;

// WM_SIZE wParam
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// ---- Windows --------------------------------------------------------------
// A window's procedure. The framework installs one per control; messages for
// that window (sent or dispatched from the queue) arrive here.
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// CreateWindowExA position or size for "choose for me": (0, 0), and 640 x 480
// for a top-level window (0 x 0 for a child).
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Window styles the backends honour.
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;

// The largest window: kMaxWindowSide pixels a side and kMaxWindowPixels in
// all, what one surface of 32-bit pixels may hold (DirectDraw surfaces have
// the same bounds), and a place within the 16 bits a WM_MOVE carries (a size
// within the limits fits WM_SIZE's 16 bits too). Windows asked to be larger
// or further out are made as large or as far as these allow.
constexpr int kMaxWindowSide = 16384;
constexpr std::int64_t kMaxWindowPixels = std::int64_t{1} << 26;
constexpr int kMinWindowCoordinate = -32768;
constexpr int kMaxWindowCoordinate = 32767;
// The rectangle a window may have for the one asked: place and size cut to
// these limits (a negative size counts as 0).
RECT BoundedWindowRect(int x, int y, int width, int height);

// Creates a window. A window with WS_CHILD is a rectangle inside its parent
// (x, y relative to the parent's client area); one without is a top-level
// window (x, y on the screen) that the SDL backend shows as a real window.
// WM_CREATE is sent before the call returns, then WM_SIZE and WM_MOVE; a
// WM_CREATE answer of -1 destroys the window again and the call returns
// null. A top-level window has no frame: its window rectangle is its client
// area on the screen. Returns null on failure (a child without a live
// parent).
HWND CreateWindowExA(DWORD exStyle, LPCSTR caption, DWORD style, int x, int y, int width, int height,
                     HWND parent, WindowProc proc);
// Destroys the children first (each gets WM_DESTROY, deepest first), then
// sends WM_DESTROY to the window. The handle is dead afterwards.
BOOL DestroyWindow(HWND wnd);
BOOL IsWindow(HWND wnd);
HWND GetParent(HWND wnd);
HWND SetParent(HWND wnd, HWND newParent);
// Calls proc for every child of parent and their children, parents first,
// in creation order, until proc answers FALSE. The list is taken before the
// first call, so proc may create, destroy or paint windows.
using WNDENUMPROC = BOOL (*)(HWND wnd, LPARAM data);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM data);
BOOL SetWindowTextA(HWND wnd, LPCSTR text);
std::string GetWindowTextA(HWND wnd);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
BOOL ShowWindow(HWND wnd, int cmd);  // TRUE when it was visible before; sends WM_SHOWWINDOW
BOOL IsWindowVisible(HWND wnd);  // it and every ancestor

// The window that receives key messages: WM_KILLFOCUS to the old one,
// WM_SETFOCUS to the new. Returns the previous focus window.
HWND SetFocus(HWND wnd);
HWND GetFocus();

// Window rectangle in screen coordinates; client rectangle from (0, 0).
BOOL GetWindowRect(HWND wnd, RECT* rect);
BOOL GetClientRect(HWND wnd, RECT* rect);
BOOL ClientToScreen(HWND wnd, POINT* point);
BOOL ScreenToClient(HWND wnd, POINT* point);

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-2));
// Moves and sizes a window (parent client coordinates for a child). A change
// of size sends WM_SIZE (wParam SIZE_RESTORED, lParam MAKELPARAM(cw, ch) of
// the new client size) and invalidates the window.
BOOL SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint);

// ---- Messages and painting ------------------------------------------------
struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
};
// Calls the procedure now; from another thread, waits until the main thread
// has called it.
LRESULT SendMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);     // any thread
constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;
// Takes the backend's pending events (SDL window events become WM_SIZE,
// WM_PAINT, WM_CLOSE, mouse and key messages) and posted messages. WM_PAINT
// is generated, as on Windows, when the queue is otherwise empty and a
// window has an update region.
// Main thread only (another thread has no queue and gets FALSE); work that
// other threads hand to the main thread (SendMessageA and window calls from
// them) runs inside it.
BOOL PeekMessageA(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax, UINT remove);
// Blocks until a message is available (or returns FALSE on WM_QUIT; -1 off
// the main thread or for a dead window).
BOOL GetMessageA(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax);
// Calls the window's procedure. After WM_PAINT, an update region that the
// procedure left untouched counts as painted, so an ignored WM_PAINT does
// not come back for ever.
LRESULT DispatchMessageA(const MSG* msg);
// What a procedure does with messages it leaves alone: WM_PAINT validates
// (BeginPaint/EndPaint), WM_CLOSE destroys the window, the rest return 0.
LRESULT DefWindowProcA(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint;
};
BOOL InvalidateRect(HWND wnd, const RECT* rect, BOOL erase);  // null rect: whole client area
BOOL ValidateRect(HWND wnd, const RECT* rect);
// The update region is kept as one rectangle, the bounds of everything
// invalidated; ValidateRect removes what it covers of it when that leaves a
// rectangle.
BOOL GetUpdateRect(HWND wnd, RECT* rect, BOOL erase);  // FALSE when nothing needs painting
// Validates the update region; the DC draws only inside it (rcPaint).
HDC BeginPaint(HWND wnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND wnd, const PAINTSTRUCT* paint);     // shows what was drawn
HDC GetDC(HWND wnd);                                   // a device context on the client area
int ReleaseDC(HWND wnd, HDC dc);

// ---- Message boxes --------------------------------------------------------
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
// Modal: returns when the user closes the box. Headless: written to stderr,
// recorded (Backend.h), and answered at once with IDOK (or IDYES).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Modules --------------------------------------------------------------
// "name.dll" maps to this project's "libname.so", looked for beside the
// executable, then beside the library holding this code, then on the usual
// search path. "DDRAW.DLL" (any case) names the display layer built into
// this library and always loads. Returns null on failure.
HMODULE LoadLibraryA(LPCSTR name);
using FARPROC = void (*)();
FARPROC GetProcAddress(HMODULE module, LPCSTR exportName);  // the exact name asked for
BOOL FreeLibrary(HMODULE module);

// ---- Files ----------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
struct SECURITY_ATTRIBUTES;
// Opens an existing file (desired access 0 only probes that it can be
// opened). Returns INVALID_HANDLE_VALUE on failure; a directory does not open.
// Share modes are not enforced: Linux has no mandatory sharing locks.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL CloseHandle(HANDLE handle);

// ---- Time, sound, process -------------------------------------------------
DWORD GetTickCount();  // milliseconds, 32 bits, wraps after 49.7 days
void Sleep(DWORD milliseconds);
BOOL Beep(DWORD frequency, DWORD duration);  // headless: recorded, returns at once
[[noreturn]] void ExitProcess(UINT exitCode);

// ---- Cursor, colours, display metrics ------------------------------------
BOOL GetCursorPos(POINT* point);  // screen coordinates
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNTEXT = 18;
DWORD GetSysColor(int index);  // COLORREF 0x00BBGGRR for indices 0..30
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
int GetSystemMetrics(int index);

}  // namespace kv
