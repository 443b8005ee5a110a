// The shared services: conversions, the error reporter with its text
// library, the DirectX check, file lookup, the root objects and Register.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "korvane3d/host/Application.h"
#include "korvane3d/host/Component.h"
#include "korvane3d/host/Registry.h"
#include "korvane3d/package/Kv.h"
#include "korvane3d/platform/win/Backend.h"
#include "korvane3d/platform/win/WinApi.h"

namespace fs = std::filesystem;
using namespace kv;

namespace {

class SharedServices : public ::testing::Test {
 protected:
  void SetUp() override {
    kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
    ResetSharedRuntime();
    kv::platform::ClearRecordedMessageBoxes();
  }
  void TearDown() override { ResetSharedRuntime(); }
  static std::vector<kv::platform::RecordedMessageBox> Boxes() { return kv::platform::RecordedMessageBoxes(); }
};

TEST_F(SharedServices, ColourConversions) {
  EXPECT_EQ(ColorToD3DColor(0x000000FF), 0x00FF0000u);
  EXPECT_EQ(ColorToD3DColor(0x00FF0000), 0x000000FFu);
  EXPECT_EQ(ColorToD3DColor(0x80123456), 0x00563412u);  // top byte ignored
  // Every component value survives the float round trip.
  for (std::uint32_t v = 0; v < 256; ++v) EXPECT_EQ(ColorToD3DColor(v << 8), v << 8);

  D3DVALUE r = -1, g = -1, b = -1;
  ColorToD3DValues(0x00FF8000, r, g, b);
  EXPECT_EQ(r, 0.0f);
  EXPECT_FLOAT_EQ(g, 128.0f / 255.0f);
  EXPECT_EQ(b, 1.0f);
  EXPECT_EQ(D3DValuesToColor(0.5f, 0.5f, 0.5f), 0x007F7F7Fu);  // truncated, not rounded
  EXPECT_EQ(D3DValuesToColor(1, 0, 0), 0x00FF0000u);
}

TEST_F(SharedServices, AngleConversions) {
  EXPECT_NEAR(static_cast<double>(DegToRad(180)), std::numbers::pi, 1e-15);
  EXPECT_NEAR(static_cast<double>(RadToDeg(std::numbers::pi / 2)), 90.0, 1e-13);
  EXPECT_NEAR(static_cast<double>(RadToDeg(static_cast<double>(DegToRad(-37.5)))), -37.5, 1e-12);
}

TEST_F(SharedServices, InitCreatesRootObjectsOnce) {
  EXPECT_EQ(SharedD3DRM3(), nullptr);
  ASSERT_TRUE(InitDirect3DRM());
  ASSERT_NE(SharedD3DRM(), nullptr);
  ASSERT_NE(SharedD3DRM3(), nullptr);
  ASSERT_NE(SharedRootFrame(), nullptr);
  ComPtr<IDirect3DRMFrame3> parent;
  SharedRootFrame()->GetParent(parent.ReleaseAndGetAddressOf());
  EXPECT_EQ(parent, nullptr);
}

TEST_F(SharedServices, UnforcedReportsAreSilent) {
  EXPECT_FALSE(ReportDXError(E_FAIL, "Anything FAILED", false));
  EXPECT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::NotLoaded);  // not even loaded
  EXPECT_FALSE(ReportDXError(0, nullptr, true));  // success, even forced
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SharedServices, ForcedReportShowsTheLibrarysText) {
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, "Blt", true));
  ASSERT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::Loaded);
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "DirectX Message - Blt");
  EXPECT_NE(boxes[0].text.find("D3DRMERR_BADVALUE"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONINFORMATION);

  // Without context; and a code the library does not know shows nothing.
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, nullptr, true));
  EXPECT_TRUE(ReportDXError(static_cast<HRESULT>(0x80001234u), nullptr, true));
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].caption, "DirectX Message");

  // Unloading (as a view does when it goes) makes the next report load again.
  Runtime().UnloadErrorLibrary();
  EXPECT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::NotLoaded);
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, nullptr, true));
  EXPECT_EQ(Boxes().size(), 3u);
}

// A forced report made on another thread is inside the library's text
// function when a view goes and lets the library go: the library stays
// loaded until the report is done with it (unloaded under it, the report
// would return into unmapped code).
TEST_F(SharedServices, AReportOnAnotherThreadKeepsTheLibraryWhileItUsesIt) {
  Runtime().errorLibraryName = "kvslowerror.dll";
  std::thread reporter([] { ReportDXError(D3DRMERR_BADVALUE, "slow", true); });
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Runtime().ErrorLibraryState() != SharedRuntime::LibraryState::Loaded &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::Loaded);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well inside its one second
  Runtime().UnloadErrorLibrary();  // what freeing a view does
  EXPECT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::NotLoaded);
  reporter.join();
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "a slow library's text");
  EXPECT_EQ(boxes[0].caption, "DirectX Message - slow");
}

TEST_F(SharedServices, MissingLibraryIsToldOnce) {
  Runtime().errorLibraryName = "kverror-not-installed.dll";
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, "Blt", true));
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, "Blt", true));
  EXPECT_FALSE(ReportDXError(0, "Blt", true));
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error loading kverror.dll");
  EXPECT_EQ(boxes[0].caption, "Korvane Message");
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].type, MB_TOPMOST | MB_ICONINFORMATION);
  EXPECT_EQ(Runtime().ErrorLibraryState(), SharedRuntime::LibraryState::LoadFailed);
}

TEST_F(SharedServices, LongContextIsCutToTheCaption) {
  const std::string context(500, 'x');
  EXPECT_EQ(DXErrorCaption(context.c_str()).size(), kDXErrorCaptionSize - 1);
  EXPECT_TRUE(ReportDXError(D3DRMERR_BADVALUE, context.c_str(), true));
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, ("DirectX Message - " + context).substr(0, kDXErrorCaptionSize - 1));
}

TEST_F(SharedServices, CheckDirectXReturnsWhenPresent) {
  CheckDirectX();
  EXPECT_TRUE(Boxes().empty());
}

TEST(SharedServicesDeathTest, MissingDirectXEndsWithFailureStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        kv::platform::SelectBackend(kv::platform::BackendKind::Headless);
        Runtime().directXLibraryName = "no-such-ddraw.dll";
        CheckDirectX();
      },
      ::testing::ExitedWithCode(1), "DirectX 6.0 is required!");
}

// ---- Files ----------------------------------------------------------------------

class FileLookup : public SharedServices {
 protected:
  void SetUp() override {
    SharedServices::SetUp();
    oldCwd_ = fs::current_path();
    root_ = fs::temp_directory_path() / ("kv-locate-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "cwd");
    fs::create_directories(root_ / "sub");
    fs::current_path(root_ / "cwd");
  }
  void TearDown() override {
    fs::current_path(oldCwd_);
    fs::remove_all(root_);
    SharedServices::TearDown();
  }
  static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
  fs::path oldCwd_, root_;
};

TEST_F(FileLookup, NormalizeTurnsBackslashesIntoSlashes) {
  EXPECT_EQ(NormalizeFileName(""), "");
  EXPECT_EQ(NormalizeFileName("a\\b\\c.x"), "a/b/c.x");
  EXPECT_EQ(NormalizeFileName("dir/file.bmp"), "dir/file.bmp");
}

TEST_F(FileLookup, LocateRules) {
  EXPECT_EQ(LocateFile(""), "");
  EXPECT_FALSE(FileFound(""));
  EXPECT_FALSE(FileFound((root_ / "sub").string()));  // a directory is not a file

  Touch(root_ / "sub" / "mesh.x");
  // Names with a directory are found where they point, with either delimiter.
  EXPECT_EQ(LocateFile((root_ / "sub" / "mesh.x").string()), (root_ / "sub" / "mesh.x").string());
  EXPECT_EQ(LocateFile("../sub/mesh.x"), "../sub/mesh.x");
  EXPECT_EQ(LocateFile("..\\sub\\mesh.x"), "../sub/mesh.x");

  // ... and nowhere else, even when the current directory has the file.
  Touch(root_ / "cwd" / "only-here.x");
  EXPECT_EQ(LocateFile("../sub/only-here.x"), "");

  // A bare name: itself (relative to the current directory) first.
  EXPECT_EQ(LocateFile("only-here.x"), "only-here.x");
  EXPECT_EQ(LocateFile("missing.x"), "");
}

TEST_F(FileLookup, BareNameFallsBackToTheProgramDirectory) {
  const fs::path exeDir = fs::path(Application().ExeName()).parent_path();
  const std::string name = "kv-locate-probe-" + std::to_string(::getpid()) + ".x";
  Touch(exeDir / name);
  EXPECT_EQ(LocateFile(name), (exeDir / name).string());
  // Found in both: the current directory wins (the name itself resolves there).
  Touch(root_ / "cwd" / name);
  EXPECT_EQ(LocateFile(name), name);
  fs::remove(exeDir / name);
}

TEST_F(FileLookup, NamesInAFormAreAlsoLookedForBesideTheForm) {
  TComponent form(nullptr);
  TComponent part(&form);
  form.SetFormFolder((root_ / "sub").string());
  Touch(root_ / "sub" / "beside.x");
  fs::create_directories(root_ / "sub" / "data");
  Touch(root_ / "sub" / "data" / "deep.x");

  // After every place LocateFile tries, in the folder of the owner's form,
  // bare names and relative ones with a directory alike.
  EXPECT_EQ(LocateDataFile("beside.x", &part), (root_ / "sub" / "beside.x").string());
  EXPECT_EQ(LocateDataFile("data\\deep.x", &part), (root_ / "sub" / "data" / "deep.x").string());
  EXPECT_EQ(LocateDataFile("beside.x", nullptr), "");
  EXPECT_EQ(LocateDataFile("", &part), "");
  // An absolute name is looked for only where it points.
  EXPECT_EQ(LocateDataFile((root_ / "beside.x").string(), &part), "");
  // The current folder comes first.
  Touch(root_ / "cwd" / "beside.x");
  EXPECT_EQ(LocateDataFile("beside.x", &part), "beside.x");
}

// ---- Registration -------------------------------------------------------------

TEST(PackageRegistration, PutsTheComponentsOnTheKorvanePageInOrder) {
  Register();
  Register();  // harmless twice
  const auto classes = PaletteClasses(kPalettePage);
  std::vector<std::string> names;
  for (const TClassInfo* c : classes) names.push_back(c->Name());
  // The palette order among the classes built so far.
  const std::vector<std::string> order = {"TKV3DView",  "TKV3DScene", "TKV3DCamera",  "TKV3DObject",
                                          "TKV3DLight", "TKV3DFrame", "TKVIKeyboard", "TKVIMouse"};
  std::size_t last = 0;
  for (const std::string& n : names) {
    auto it = std::find(order.begin(), order.end(), n);
    ASSERT_NE(it, order.end()) << n;
    const auto pos = static_cast<std::size_t>(it - order.begin());
    EXPECT_GE(pos, last) << n;
    last = pos;
  }
  EXPECT_NE(std::find(names.begin(), names.end(), "TKV3DFrame"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "TKV3DCamera"), names.end());
  EXPECT_NE(FindClass("TKV3DFrame"), nullptr);
}

}  // namespace
