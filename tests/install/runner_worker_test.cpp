// The report gate and the worker slot the runners are built on.
#include "install/runner_worker.h"

#include <gtest/gtest.h>

#include <atomic>

#include "utils/scoped.h"

namespace {

struct Counter {
  std::atomic<int> calls{0};
  StatusCallback Callback() {
    return [this](int, double, const wchar_t*) { ++calls; };
  }
};

TEST(ReportGate, ForwardsUntilClosed) {
  Counter counter;
  Install::ReportGate gate(counter.Callback());
  gate.Report(2001, 0.0, L"");
  gate.Report(2002, 0.5, L"");
  gate.Close();
  gate.Report(2003, 0.0, L"");
  EXPECT_EQ(counter.calls.load(), 2);
}

TEST(ReportGate, AReportMayCloseItsOwnGate) {
  int calls = 0;
  std::shared_ptr<Install::ReportGate> gate;
  gate = std::make_shared<Install::ReportGate>([&](int, double, const wchar_t*) {
    ++calls;
    gate->Close();  // the owner going away from inside a report
  });
  gate->Report(1, 0.0, L"");
  gate->Report(2, 0.0, L"");
  EXPECT_EQ(calls, 1);
}

TEST(WorkerSlot, ReleaseWaitsForAWorkerThatEndsInTime) {
  Counter counter;
  auto gate = std::make_shared<Install::ReportGate>(counter.Callback());
  Install::WorkerSlot slot;
  ASSERT_TRUE(slot.Launch(L"ABDEF", gate, [gate] {
    ::Sleep(200);
    gate->Report(2003, 1.0, L"");
  }));
  slot.Release(INFINITE);
  EXPECT_EQ(counter.calls.load(), 1);
  EXPECT_TRUE(slot.Wait(0));
}

TEST(WorkerSlot, ReleaseLetsAStuckWorkerGoAndNothingItReportsLaterArrives) {
  Counter counter;
  auto gate = std::make_shared<Install::ReportGate>(counter.Callback());
  auto go = std::make_shared<Utils::ScopedHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto reported = std::make_shared<Utils::ScopedHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    Install::WorkerSlot slot;
    ASSERT_TRUE(slot.Launch(L"UnInstaller", gate, [gate, go, reported] {
      gate->Report(5001, 0.0, L"");
      ::WaitForSingleObject(go->get(), INFINITE);  // a child that does not end
      gate->Report(5003, 1.0, L"");
      ::SetEvent(reported->get());
    }));
    EXPECT_FALSE(slot.Wait(50));
    slot.Release(100);  // returns although the worker still waits
    EXPECT_TRUE(slot.Wait(0));
  }
  ::SetEvent(go->get());
  ASSERT_EQ(::WaitForSingleObject(reported->get(), INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(counter.calls.load(), 1);  // only the report made before the release
}

TEST(WorkerSlot, ALaunchFromTheRunningWorkerDoesNotWaitForItself) {
  Counter counter;
  auto gate = std::make_shared<Install::ReportGate>(counter.Callback());
  Install::WorkerSlot slot;
  auto second = std::make_shared<Utils::ScopedHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(slot.Launch(L"ABDEF", gate, [&slot, gate, second] {
    slot.Launch(L"ABDEF", gate, [second] { ::SetEvent(second->get()); });
  }));
  EXPECT_EQ(::WaitForSingleObject(second->get(), INFINITE), WAIT_OBJECT_0);
  slot.Release(INFINITE);
}

}  // namespace
