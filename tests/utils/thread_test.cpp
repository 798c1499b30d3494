#include "utils/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>

#include "support/test_support.h"

namespace {

TEST(Thread, RunsTheBodyOnlyAfterResume) {
  std::atomic<int> calls{0};
  int argument = 5;
  void* seen = nullptr;
  Utils::Thread thread(&argument, L"ABDEF", [&](void* arg) -> unsigned {
    seen = arg;
    ++calls;
    return 0;
  });
  ASSERT_NE(thread.handle(), nullptr);
  ::Sleep(100);
  EXPECT_EQ(calls.load(), 0);  // created suspended
  ASSERT_TRUE(thread.Resume());
  thread.Join();
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(seen, &argument);
}

TEST(Thread, ExitCodeIsAlwaysZeroAndJoiningTwiceIsHarmless) {
  Utils::Thread thread(nullptr, L"", [](void*) -> unsigned { return 42; });
  ASSERT_TRUE(thread.Resume());
  ASSERT_EQ(::WaitForSingleObject(thread.handle(), 10000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ASSERT_TRUE(::GetExitCodeThread(thread.handle(), &exitCode));
  EXPECT_EQ(exitCode, 0u);
  thread.Join();
  EXPECT_EQ(thread.handle(), nullptr);
  EXPECT_EQ(thread.id(), static_cast<DWORD>(-1));
  thread.Join();
  EXPECT_EQ(thread.id(), static_cast<DWORD>(-1));
}

TEST(Thread, JoiningFromItsOwnThreadDoesNotWait) {
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Utils::Thread* self = nullptr;
  Utils::Thread thread(&self, L"self", [done](void* arg) -> unsigned {
    (*static_cast<Utils::Thread**>(arg))->Join();  // must return at once
    ::SetEvent(done);
    return 0;
  });
  self = &thread;
  ASSERT_TRUE(thread.Resume());
  EXPECT_EQ(::WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  ::CloseHandle(done);
  ::Sleep(50);  // let the body return before the wrapper goes
}

TEST(Thread, DebuggerNameFallsBackToTheId) {
  EXPECT_EQ(Utils::Thread::DebuggerName(L"", 1234), "t1234");
  EXPECT_EQ(Utils::Thread::DebuggerName(L"UnInstaller", 1234), "UnInstaller");
}


TEST(Thread, AnnouncesItsNameToADebuggerAndTracesItsLife) {
  for (const std::wstring name : {L"UnInstaller", L""}) {
    const auto capture = TestSupport::CaptureDebugOutput(
        Probe::JoinCommandLine({TestSupport::BinPath(L"tv_test_helper.exe"), L"thread", name}));
    ASSERT_TRUE(capture.result.started);
    EXPECT_EQ(capture.result.exitCode, 0u);
    ASSERT_EQ(capture.threadNames.size(), 1u);
    const auto& [id, announced] = capture.threadNames[0];
    EXPECT_EQ(announced, name.empty() ? "t" + std::to_string(id) : TestSupport::Utf8(name));

    // THREAD BEGIN and THREAD END come from the named thread itself.
    const std::wregex begin(L"<P\\d{5,}><T0*" + std::to_wstring(id) +
                            L">.*\\(Utils::Thread::CallBack\\)<\\d{4,}>: THREAD BEGIN\r\n");
    const std::wregex end(L".*\\(Utils::Thread::CallBack\\)<\\d{4,}>: THREAD END\r\n");
    ASSERT_EQ(capture.strings.size(), 2u);
    EXPECT_TRUE(std::regex_match(capture.strings[0], begin)) << TestSupport::Utf8(capture.strings[0]);
    EXPECT_TRUE(std::regex_match(capture.strings[1], end)) << TestSupport::Utf8(capture.strings[1]);
  }
}

TEST(Thread, RunsNormallyWithoutADebugger) {
  const auto result = TestSupport::RunProcess(
      Probe::JoinCommandLine({TestSupport::BinPath(L"tv_test_helper.exe"), L"thread", L"ABDEF"}));
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, 0u);
}

}  // namespace
