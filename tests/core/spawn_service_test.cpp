#include "core/spawn_service.h"

#include <windows.h>

#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "tests/core/entry_test_support.h"

using dlx::String;
using entrytest::CopyDataRecorder;
using entrytest::SpawnServiceReset;

namespace {

UINT Token() {
  return RegisterWindowMessageW(L"SpawnToken");
}

LRESULT SendCopyData(HWND window, ULONG_PTR tag, const void* data, DWORD bytes, HWND sender = nullptr) {
  COPYDATASTRUCT copy{};
  copy.dwData = tag;
  copy.cbData = bytes;
  copy.lpData = const_cast<void*>(data);
  return SendMessageW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&copy));
}

const String kPartnerToken = u"0123456789ABCDEF0123456789ABCDEF";

}  // namespace

TEST(SpawnService, ASecondInitializeIsRefused) {
  SpawnServiceReset reset;
  TInstallerSpawnService::Initialize(1234);
  try {
    TInstallerSpawnService::Initialize(0);
    FAIL() << "a second Initialize must raise";
  } catch (const dlx::EDLXException& e) {
    EXPECT_EQ(e.Message(), u"SpawnService is already initialized");
  }
  EXPECT_EQ(reinterpret_cast<intptr_t>(TInstallerSpawnService::Handle()), 1234);
}

TEST(SpawnService, ZeroCreatesAMessageOnlyWindowOfOurOwnThatFinalizeDestroys) {
  SpawnServiceReset reset;
  EXPECT_FALSE(TInstallerSpawnService::Initialized());
  TInstallerSpawnService::Initialize(0);
  const HWND window = TInstallerSpawnService::Handle();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_TRUE(TInstallerSpawnService::OwnsWindow());
  EXPECT_EQ(TInstallerSpawnService::SpawnTokenMessage(), Token());
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  EXPECT_EQ(dlx::FromW(className), u"TInstallerSpawnService");
  // Message-only: found among the message-only windows.
  EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"TInstallerSpawnService", nullptr), window);

  TInstallerSpawnService::Finalize();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(TInstallerSpawnService::Initialized());
}

TEST(SpawnService, ThePartnerHandleIsUsedWithoutOwningIt) {
  SpawnServiceReset reset;
  CopyDataRecorder partner;
  TInstallerSpawnService::Initialize(reinterpret_cast<intptr_t>(partner.Window()));
  EXPECT_FALSE(TInstallerSpawnService::OwnsWindow());
  TInstallerSpawnService::Finalize();
  EXPECT_TRUE(IsWindow(partner.Window())) << "a partner's window is never destroyed";
}

TEST(SpawnService, SpawnSendsTheWholeCommandToThePartnerTaggedWithTheToken) {
  SpawnServiceReset reset;
  CopyDataRecorder partner;
  TInstallerSpawnService::Initialize(reinterpret_cast<intptr_t>(partner.Window()), kPartnerToken);
  const String command = u"C:\\Program Files\\ZUVA\\ZUVA.exe";
  TInstallerSpawnService::Spawn(command);
  TInstallerSpawnService::Spawn(u"C:\\Program Files\\ZUVA\\Readme.txt");
  ASSERT_EQ(partner.Messages().size(), 2u);
  const auto& first = partner.Messages()[0];
  EXPECT_NE(first.wParam, 0u) << "a window of the sender, for the partner to check its process";
  EXPECT_EQ(first.tag, Token());
  EXPECT_EQ(first.bytes, (kPartnerToken.size() + command.size()) * 2) << "no terminator is counted";
  EXPECT_EQ(first.text, kPartnerToken + command) << "a path with blanks is never split";
  EXPECT_EQ(partner.Messages()[1].text, kPartnerToken + u"C:\\Program Files\\ZUVA\\Readme.txt");
}

TEST(SpawnService, AVanishedPartnerStartsNothingAndDoesNotFail) {
  SpawnServiceReset reset;
  CopyDataRecorder partner;
  const HWND window = partner.Window();
  TInstallerSpawnService::Initialize(reinterpret_cast<intptr_t>(window));
  partner.Destroy();
  EXPECT_NO_THROW(TInstallerSpawnService::Spawn(u"C:\\ZUVA\\ZUVA.exe"));
  EXPECT_FALSE(TInstallerSpawnService::SendSpawnRequest(window, u"C:\\ZUVA\\ZUVA.exe"));
  EXPECT_FALSE(TInstallerSpawnService::SendSpawnRequest(nullptr, u"C:\\ZUVA\\ZUVA.exe"));
}

TEST(SpawnService, TheSpawnWindowStartsOnlyTaggedRequestsWithItsTokenFromTheTrustedProcess) {
  SpawnServiceReset reset;
  std::vector<String> started;
  TInstallerSpawnService::SetStarter([&](const String& command) { started.push_back(command); });
  TInstallerSpawnService::Initialize(0);
  const HWND window = TInstallerSpawnService::Handle();
  const String token = TInstallerSpawnService::RequestToken();
  ASSERT_EQ(token.size(), 32u);
  CopyDataRecorder sender;  // a window of this process, named as the sender

  // Until the launcher trusts a process, nothing is started.
  EXPECT_TRUE(TInstallerSpawnService::SendSpawnRequest(window, u"C:\\early.exe"));
  TInstallerSpawnService::TrustProcess(GetCurrentProcessId());
  EXPECT_TRUE(TInstallerSpawnService::SendSpawnRequest(window, u"C:\\A B\\x.exe"));
  const struct {
    ULONG_PTR tag;
    String text;
    HWND sender;
  } requests[] = {
      {Token(), token + u"C:\\ok.exe", sender.Window()},
      {Token() + 1, token + u"C:\\other tag.exe", sender.Window()},
      {Token(), kPartnerToken + u"C:\\other token.exe", sender.Window()},
      {Token(), u"C:\\no token at all.exe", sender.Window()},
      {Token(), token + u"C:\\no sender.exe", nullptr},
  };
  for (const auto& r : requests)
    SendCopyData(window, r.tag, r.text.data(), static_cast<DWORD>(r.text.size() * 2), r.sender);
  // An odd byte count drops the half character.
  const String odd = token + u"C:";
  SendCopyData(window, Token(), odd.data(), static_cast<DWORD>(odd.size() * 2 + 1), sender.Window());
  SendMessageW(window, WM_COPYDATA, 0, 0);  // no structure at all
  // A sender whose process is neither the trusted one nor a child of it.
  TInstallerSpawnService::TrustProcess(0xFFFFFFF0);
  EXPECT_TRUE(TInstallerSpawnService::SendSpawnRequest(window, u"C:\\foreign sender.exe"));

  EXPECT_EQ(started, (std::vector<String>{u"C:\\A B\\x.exe", u"C:\\ok.exe", u"C:"}));
}

TEST(SpawnService, AFailingStarterDoesNotEscapeTheWindowProcedure) {
  SpawnServiceReset reset;
  int calls = 0;
  TInstallerSpawnService::SetStarter([&](const String&) {
    ++calls;
    throw dlx::EDLXException(u"cannot start");
  });
  TInstallerSpawnService::Initialize(0);
  TInstallerSpawnService::TrustProcess(GetCurrentProcessId());
  EXPECT_NO_THROW(TInstallerSpawnService::SendSpawnRequest(TInstallerSpawnService::Handle(), u"x.exe"));
  EXPECT_EQ(calls, 1);
}
