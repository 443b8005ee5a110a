// Message boxes, ticks, beeps, the cursor and screen, colours, files and
// modules.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "WinTestSupport.h"
#include "korvane3d/platform/win/Gdi.h"

using namespace kv;

namespace {

namespace fs = std::filesystem;

class SystemTest : public kvtest::HeadlessTest {};

TEST_F(SystemTest, MessageBoxesAreRecordedAndAnsweredWithTheFirstButton) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Error loading kverror.dll", "Korvane Message", MB_TOPMOST | MB_ICONINFORMATION), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Quit?", nullptr, MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, "Empty", MB_OKCANCEL), IDOK);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Korvane Message: Error loading kverror.dll"), std::string::npos);

  auto boxes = kv::platform::RecordedMessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Error loading kverror.dll");
  EXPECT_EQ(boxes[0].caption, "Korvane Message");
  EXPECT_EQ(boxes[0].type, MB_TOPMOST | MB_ICONINFORMATION);
  EXPECT_EQ(boxes[1].caption, "Error");
  EXPECT_EQ(boxes[2].text, "");
  kv::platform::ClearRecordedMessageBoxes();
  EXPECT_TRUE(kv::platform::RecordedMessageBoxes().empty());
}

TEST_F(SystemTest, MessageBoxFromAnotherThreadIsRecordedToo) {
  testing::internal::CaptureStderr();
  std::thread([] { MessageBoxA(nullptr, "from the loop", "DirectX Message - Blt", MB_OK); }).join();
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(kv::platform::RecordedMessageBoxes().size(), 1u);
}

TEST_F(SystemTest, TickCountIsMonotonicAndWrapsAt32Bits) {
  DWORD a = GetTickCount();
  Sleep(20);
  DWORD b = GetTickCount();
  EXPECT_GE(static_cast<DWORD>(b - a), 15u);
  EXPECT_LT(static_cast<DWORD>(b - a), 60000u);

  // Start the clock just before its wrap: unsigned differences still work.
  kv::platform::SetTickCountBias(0);
  DWORD now = GetTickCount();
  kv::platform::SetTickCountBias(0xFFFFFFF0u - now);
  DWORD before = GetTickCount();
  EXPECT_GE(before, 0xFFFFFF00u);
  Sleep(40);
  DWORD after = GetTickCount();
  kv::platform::SetTickCountBias(0);
  EXPECT_LT(after, before) << "the counter wrapped";
  EXPECT_GE(static_cast<DWORD>(after - before), 35u);
  EXPECT_LT(static_cast<DWORD>(after - before), 60000u);
}

TEST_F(SystemTest, BeepsAreRecordedFromAnyThread) {
  EXPECT_TRUE(Beep(1000, 1));
  std::thread([] { Beep(0, 0); }).join();
  auto beeps = kv::platform::RecordedBeeps();
  ASSERT_EQ(beeps.size(), 2u);
  EXPECT_EQ(beeps[0].frequency, 1000u);
  EXPECT_EQ(beeps[1].duration, 0u);
}

TEST_F(SystemTest, HeadlessScreenAndCursor) {
  kv::platform::SetHeadlessScreenSize(800, 600);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  kv::platform::SetHeadlessScreenSize(-1, 5);  // ignored
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  kv::platform::SetHeadlessScreenSize(1024, 768);
  kv::platform::SetHeadlessCursorPos(POINT{12, 34});
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{12, 34}));
  EXPECT_FALSE(GetCursorPos(nullptr));
}

TEST(ExitProcessTest, EndsWithTheCodeAfterFlushingOutput) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::fputs("last words, ", stderr);
        std::fflush(stdout);
        dup2(2, 1);  // stdout now ends where the test reads
        std::printf("then buffered ones");  // no newline: held in the buffer
        ExitProcess(7);
      },
      testing::ExitedWithCode(7), "last words, then buffered ones");
}

TEST_F(SystemTest, SystemColoursAreTheClassicScheme) {
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(2), RGB(0, 0, 128));
  EXPECT_EQ(GetSysColor(-1), 0u);
  EXPECT_EQ(GetSysColor(31), 0u);
}

class FileTest : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    dir = fs::temp_directory_path() / ("kv_win_files_" + std::to_string(getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override {
    fs::remove_all(dir);
    SystemTest::TearDown();
  }
  fs::path dir;
};

TEST_F(FileTest, ProbingFindsFilesButNotDirectoriesOrMissingNames) {
  std::ofstream(dir / "mesh.x") << "xof 0302txt 0032\n";
  HANDLE probe = CreateFileA((dir / "mesh.x").c_str(), 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(probe, INVALID_HANDLE_VALUE);
  char byte;
  DWORD got = 99;
  EXPECT_FALSE(ReadFile(probe, &byte, 1, &got, nullptr)) << "a probe cannot read";
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(probe));
  EXPECT_FALSE(CloseHandle(probe));

  EXPECT_EQ(CreateFileA((dir / "missing.x").c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(dir.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(dir.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA("", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(nullptr, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA((dir / "mesh.x").c_str(), 0, 0, nullptr, 77, 0, nullptr), INVALID_HANDLE_VALUE);
}

// A probe of a FIFO answers at once; reading or writing one is refused,
// since a read would wait for a writer for ever.
TEST_F(FileTest, AFifoIsProbedButNeverOpenedForReadingOrWriting) {
  fs::path fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  HANDLE probe = CreateFileA(fifo.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(probe, INVALID_HANDLE_VALUE);
  CloseHandle(probe);
  EXPECT_EQ(CreateFileA(fifo.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(fifo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA("/dev/zero", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(FileTest, WriteThenReadBack) {
  std::string name = (dir / "out.bin").string();
  HANDLE out = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(out, "korvane", 7, &written, nullptr));
  EXPECT_EQ(written, 7u);
  char buf[16] = {};
  DWORD got = 0;
  EXPECT_FALSE(ReadFile(out, buf, 4, &got, nullptr)) << "opened for writing only";
  CloseHandle(out);

  HANDLE in = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(in, nullptr), 7u);
  ASSERT_TRUE(ReadFile(in, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(got, 7u);
  EXPECT_EQ(std::string(buf, got), "korvane");
  ASSERT_TRUE(ReadFile(in, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(got, 0u) << "end of file reads nothing and succeeds";
  EXPECT_FALSE(WriteFile(in, "x", 1, &written, nullptr));
  EXPECT_FALSE(ReadFile(in, nullptr, 4, &got, nullptr));
  CloseHandle(in);
  EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
}

TEST_F(SystemTest, ModulesMapWindowsNamesAndFailCleanly) {
  HMODULE ddraw = LoadLibraryA("DDRAW.DLL");
  ASSERT_NE(ddraw, nullptr);
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(ddraw), 32u);
  EXPECT_NE(LoadLibraryA("ddraw.dll"), nullptr);
  EXPECT_TRUE(FreeLibrary(ddraw));

  EXPECT_EQ(LoadLibraryA("no_such_module_here.dll"), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x1234)));
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x1234), "anything"), nullptr);
  EXPECT_EQ(GetProcAddress(ddraw, nullptr), nullptr);
}

TEST_F(SystemTest, SystemLibrariesLoadByPathAndResolveExports) {
  HMODULE libm = LoadLibraryA("libm.so.6");
  ASSERT_NE(libm, nullptr);
  EXPECT_EQ(LoadLibraryA("libm.so.6"), libm) << "the same module gives the same handle";
  EXPECT_NE(GetProcAddress(libm, "cos"), nullptr);
  EXPECT_EQ(GetProcAddress(libm, "no_such_export"), nullptr);
  EXPECT_EQ(GetProcAddress(libm, reinterpret_cast<LPCSTR>(3)), nullptr) << "ordinals are not exports here";
  EXPECT_TRUE(FreeLibrary(libm));
  EXPECT_TRUE(FreeLibrary(libm));
  EXPECT_FALSE(FreeLibrary(libm)) << "loaded twice, freed twice, then gone";
}

}  // namespace
