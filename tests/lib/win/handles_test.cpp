#include "lib/win/handles.h"

#include <gtest/gtest.h>

using namespace dlx;

namespace {

const String kTestRoot = u"Software\\ZUVA-dlx-win-tests";

class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestRoot); }
  void TearDown() override {
    TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestRoot);
    EXPECT_FALSE(TRegistryKey::KeyExists(HKEY_CURRENT_USER, kTestRoot)) << "tests must leave no key behind";
  }
};

// A counted object that records its reference count, to check TComPtr's bookkeeping.
struct CountedObject final : IUnknown {
  ULONG refs = 1;
  bool* destroyed;
  explicit CountedObject(bool* flag) : destroyed(flag) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == __uuidof(IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--refs == 0) {
      *destroyed = true;
      delete this;
      return 0;
    }
    return refs;
  }
};

}  // namespace

TEST_F(RegistryKeyTest, WritesAndReadsBackStringsAndNumbers) {
  TRegistryKey key;
  ASSERT_FALSE(key.Open(HKEY_CURRENT_USER, kTestRoot)) << "the key does not exist yet";
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot + u"\\Product Name"));
  EXPECT_TRUE(key.WriteString(u"DisplayName", u"ZUVA \u041F\u043B\u0435\u0435\u0440"));
  EXPECT_TRUE(key.WriteString(u"Empty", u""));
  EXPECT_TRUE(key.WriteDword(u"NoModify", 1));
  key.Close();

  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestRoot + u"\\Product Name", KEY_READ | KEY_WRITE));
  String text;
  EXPECT_TRUE(key.ReadString(u"DisplayName", text));
  EXPECT_EQ(text, u"ZUVA \u041F\u043B\u0435\u0435\u0440");
  EXPECT_TRUE(key.ReadString(u"Empty", text));
  EXPECT_EQ(text, u"");
  uint32_t number = 0;
  EXPECT_TRUE(key.ReadDword(u"NoModify", number));
  EXPECT_EQ(number, 1u);
  // Type mismatches and missing values are refused, not misread.
  EXPECT_FALSE(key.ReadString(u"NoModify", text));
  EXPECT_FALSE(key.ReadDword(u"DisplayName", number));
  EXPECT_FALSE(key.ReadString(u"Missing", text));
  EXPECT_TRUE(key.ValueExists(u"NoModify"));
  EXPECT_TRUE(key.DeleteValue(u"NoModify"));
  EXPECT_FALSE(key.ValueExists(u"NoModify"));
}

TEST_F(RegistryKeyTest, StringWrittenWithItsTerminatorCountedAndReadWithoutOne) {
  TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot));
  ASSERT_TRUE(key.WriteString(u"Path", u"C:\\A\\"));
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key.Get(), L"Path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 6u * sizeof(wchar_t)) << "five characters and the NUL";

  // Another program may store a text without its NUL; it must not gain garbage.
  const wchar_t raw[] = L"XYZ";
  ASSERT_EQ(RegSetValueExW(key.Get(), L"Raw", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(raw),
                           3 * sizeof(wchar_t)),
            ERROR_SUCCESS);
  String text;
  EXPECT_TRUE(key.ReadString(u"Raw", text));
  EXPECT_EQ(text, u"XYZ");
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesNestedSubkeys) {
  TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot + u"\\A\\B\\C"));
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot + u"\\A\\D"));
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot + u"\\E"));
  key.Close();
  TRegistryKey parent;
  ASSERT_TRUE(parent.Open(HKEY_CURRENT_USER, kTestRoot));
  auto names = parent.SubKeyNames();
  ASSERT_EQ(names.size(), 2u);
  parent.Close();
  EXPECT_TRUE(TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestRoot + u"\\A"));
  EXPECT_FALSE(TRegistryKey::KeyExists(HKEY_CURRENT_USER, kTestRoot + u"\\A"));
  EXPECT_TRUE(TRegistryKey::KeyExists(HKEY_CURRENT_USER, kTestRoot + u"\\E"));
  EXPECT_FALSE(TRegistryKey::DeleteTree(HKEY_CURRENT_USER, kTestRoot + u"\\A")) << "already gone";
  EXPECT_FALSE(TRegistryKey::DeleteTree(HKEY_CURRENT_USER, u"")) << "never the root itself";
}

TEST_F(RegistryKeyTest, FailuresKeepTheStatusTheRegistryReturned) {
  TRegistryKey key;
  EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, kTestRoot + u"\\Missing"));
  EXPECT_EQ(TRegistryKey::LastStatus(), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kTestRoot));
  EXPECT_EQ(TRegistryKey::LastStatus(), ERROR_SUCCESS);
  EXPECT_FALSE(key.DeleteValue(u"missing value"));
  EXPECT_EQ(TRegistryKey::LastStatus(), ERROR_FILE_NOT_FOUND);
}

TEST(ScopedHandle, ClosesOnceAndTransfersOwnership) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    TScopedHandle a(raw);
    TScopedHandle b(std::move(a));
    EXPECT_FALSE(a.Valid());
    EXPECT_EQ(b.Get(), raw);
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
  }
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(raw, &flags)) << "closed when the owner went away";

  TScopedHandle invalid(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(invalid.Valid());
  TScopedHandle kept(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE released = kept.Release();
  EXPECT_FALSE(kept.Valid());
  EXPECT_TRUE(GetHandleInformation(released, &flags)) << "Release hands over without closing";
  CloseHandle(released);
}

TEST(LibraryHandle, LoadsFindsExportsAndFails) {
  TLibraryHandle lib;
  ASSERT_TRUE(lib.Load(u"kernel32.dll"));
  using GetTickCountProc = DWORD(WINAPI*)();
  EXPECT_NE(lib.GetProc<GetTickCountProc>("GetTickCount"), nullptr);
  EXPECT_EQ(lib.GetProc<GetTickCountProc>("NoSuchExport"), nullptr);
  TLibraryHandle missing;
  EXPECT_FALSE(missing.Load(u"zuva-no-such-library.dll"));
  EXPECT_EQ(missing.GetProc<GetTickCountProc>("GetTickCount"), nullptr);
}

TEST(WindowHandle, DestroysTheWindowItOwns) {
  HWND raw = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(raw, nullptr);
  {
    TWindowHandle window(raw);
    EXPECT_TRUE(IsWindow(window.Get()));
  }
  EXPECT_FALSE(IsWindow(raw));
}

TEST(ComPtr, BalancesReferencesAcrossCopyMoveAndQuery) {
  bool destroyed = false;
  auto* object = new CountedObject(&destroyed);
  {
    TComPtr<IUnknown> a(object);  // takes the creation reference
    EXPECT_EQ(object->refs, 1u);
    {
      TComPtr<IUnknown> b = a;
      EXPECT_EQ(object->refs, 2u);
      TComPtr<IUnknown> c = std::move(b);
      EXPECT_EQ(object->refs, 2u);
      EXPECT_FALSE(b);
      TComPtr<IUnknown> d;
      EXPECT_EQ(a.As(__uuidof(IUnknown), d), S_OK);
      EXPECT_EQ(object->refs, 3u);
      // Reusing an out-parameter drops the reference it held first.
      EXPECT_EQ(a.As(__uuidof(IUnknown), d), S_OK);
      EXPECT_EQ(object->refs, 3u);
      TComPtr<IUnknown> none;
      EXPECT_EQ(a.As(__uuidof(IClassFactory), none), E_NOINTERFACE);
      EXPECT_FALSE(none);
      a = a;  // self-assignment keeps the count
      EXPECT_EQ(object->refs, 3u);
    }
    EXPECT_EQ(object->refs, 1u);
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}
