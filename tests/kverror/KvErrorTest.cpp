// The text library as the package loads it: by its Windows module name and
// its Windows export name.
#include <gtest/gtest.h>

#include <string>

#include "korvane3d/platform/win/HResult.h"
#include "korvane3d/platform/win/WinApi.h"

using namespace kv;

namespace {

using GetDXErrorStringFn = const char* (*)(HRESULT);

class KvErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryA("kverror.dll");
    ASSERT_NE(module, nullptr) << "libkverror.so should sit beside the test program";
    ASSERT_GT(reinterpret_cast<std::uintptr_t>(module), 32u) << "handles below 32 read as failures";
    text = reinterpret_cast<GetDXErrorStringFn>(GetProcAddress(module, "@GetDXErrorString$ql"));
    ASSERT_NE(text, nullptr);
  }
  void TearDown() override {
    if (module) {
      EXPECT_TRUE(FreeLibrary(module));
    }
  }
  HMODULE module = nullptr;
  GetDXErrorStringFn text = nullptr;
};

TEST_F(KvErrorTest, KnownCodesHaveTextsThatNameThem) {
  const char* lost = text(DDERR_SURFACELOST);
  ASSERT_NE(lost, nullptr);
  EXPECT_NE(std::string(lost).find("DDERR_SURFACELOST"), std::string::npos) << lost;
  const char* bad = text(D3DRMERR_BADVALUE);
  ASSERT_NE(bad, nullptr);
  EXPECT_NE(std::string(bad).find("D3DRMERR_BADVALUE"), std::string::npos) << bad;
  ASSERT_NE(text(E_OUTOFMEMORY), nullptr);
}

TEST_F(KvErrorTest, EveryListedCodeHasATextAndUnknownCodesHaveNone) {
#define KV_HRESULT(name, value, description) EXPECT_NE(text(name), nullptr) << #name;
#include "korvane3d/platform/win/HResultList.inc"
#undef KV_HRESULT
  EXPECT_EQ(text(static_cast<HRESULT>(0x12345678)), nullptr);
  EXPECT_EQ(text(static_cast<HRESULT>(0x8876FFFFu)), nullptr);
}

TEST_F(KvErrorTest, ExportNamesMustMatchExactly) {
  EXPECT_EQ(GetProcAddress(module, "GetDXErrorString$ql"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "@getdxerrorstring$ql"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  // The plain C name is a real symbol of the library as well.
  EXPECT_NE(GetProcAddress(module, "GetDXErrorString"), nullptr);
}

TEST_F(KvErrorTest, LoadingAgainSharesTheModuleUntilEveryLoadIsFreed) {
  HMODULE again = LoadLibraryA("KVERROR.DLL");
  ASSERT_EQ(again, module) << "Windows module names are case-insensitive";
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_NE(GetProcAddress(module, "@GetDXErrorString$ql"), nullptr) << "still loaded once";
}

TEST(KvErrorFreed, AFreedModuleResolvesNothing) {
  HMODULE module = LoadLibraryA("kverror");
  ASSERT_NE(module, nullptr) << "a name without .dll means the same module";
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetProcAddress(module, "@GetDXErrorString$ql"), nullptr);
  EXPECT_FALSE(FreeLibrary(module));
}

}  // namespace
