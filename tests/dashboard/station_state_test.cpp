// The stations' live state as the dashboard reads it from a real SQLite store: what each
// event makes of a station's row, the heartbeat, and writes that fail without holding up
// the station.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <functional>

#include "stations/station_state_events.h"
#include "records/record_store.h"
#include "records/station_state_writer.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr char kPort[] = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";

// The events a station told, counted, as the output behind the state sees them.
class CountedEvents : public StationEvents {
 public:
  void StationWaiting(const std::string&) override { ++told; }
  void DeviceStarted(const std::string&, const std::optional<int64_t>&) override { ++told; }
  void DeviceProgress(const std::string&, uint32_t, uint32_t) override { ++told; }
  void DeviceFinished(const StationResult&) override { ++told; }
  void PortProblem(const std::string&, const std::string&) override { ++told; }
  void StationEnded(const std::string&) override { ++told; }
  void RateChanged(const std::string&, uint32_t, uint32_t, bool) override { ++told; }
  void PortLatency(const std::string&, int, const std::string&) override { ++told; }
  int told = 0;
};

class StationStateTest : public testing::Test {
 protected:
  std::string Store() const { return scratch_.Path() + "/records.sqlite"; }

  // The station's row once test accepts it; fails after 20 s.
  StationState AwaitRow(const std::function<bool(const StationState&)>& test) {
    std::string error;
    std::unique_ptr<RecordStore> store = OpenRecordStore(Store(), error);
    EXPECT_NE(store, nullptr) << error;
    StationState last;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         store && std::chrono::steady_clock::now() < deadline;) {
      std::vector<StationState> states;
      EXPECT_TRUE(store->ReadStationStates(states, error)) << error;
      for (const StationState& state : states) {
        if (state.port == kPort) last = state;
        if (state.port == kPort && test(state)) return state;
      }
      store->WaitForChange(200, error);
    }
    ADD_FAILURE() << "the row never came; last: " << last.state << " " << last.percent;
    return last;
  }

  ScratchDir scratch_{"fwflash-state"};
};

StationResult Result(bool ok, int64_t serial) {
  StationResult result;
  result.port = kPort;
  result.ok = ok;
  result.size = 600;
  result.serial = serial;
  if (!ok) {
    result.step = "read-byte";
    result.messages = {"Cannot read from comm port!", "<b>&\"quoted\""};
  }
  return result;
}

TEST_F(StationStateTest, EachEventBecomesTheStationsRowAndTheInnerEventsHearAll) {
  CountedEvents inner;
  StationStateEvents events(inner, Store(), "pc-1", 0x1C291CA3, {{kPort, "A1"}});
  events.StationWaiting(kPort);
  StationState row = AwaitRow([](const StationState& s) { return s.state == "waiting"; });
  EXPECT_EQ(row.pc, "pc-1");
  EXPECT_EQ(row.label, "A1");
  EXPECT_GT(row.progressMs, 0);
  EXPECT_EQ(row.firmwareCrc32, 0x1C291CA3u);

  events.DeviceStarted(kPort, int64_t{7000});
  for (uint32_t accepted = 0; accepted <= 330; ++accepted) events.DeviceProgress(kPort, accepted, 600);
  row = AwaitRow([](const StationState& s) { return s.state == "flashing" && s.percent == 50; });
  EXPECT_EQ(row.serial, 7000);

  events.DeviceFinished(Result(true, 7000));
  events.StationWaiting(kPort);  // between devices the last result stays
  events.DeviceStarted(kPort, int64_t{7001});
  events.DeviceFinished(Result(false, 7001));
  events.StationWaiting(kPort);
  row = AwaitRow([](const StationState& s) { return s.state == "failed"; });
  EXPECT_EQ(row.serial, 7001);
  EXPECT_EQ(row.step, "read-byte");
  EXPECT_EQ(row.message, "Cannot read from comm port! / <b>&\"quoted\"");

  events.PortProblem(kPort, "Cannot open the port");
  row = AwaitRow([](const StationState& s) { return s.state == "port"; });
  EXPECT_EQ(row.message, "Cannot open the port");
  EXPECT_FALSE(row.serial);

  events.StationEnded(kPort);
  AwaitRow([](const StationState& s) { return s.state == "stopped"; });
  EXPECT_EQ(inner.told, 1 + 1 + 331 + 1 + 1 + 1 + 1 + 1 + 1 + 1);
}

TEST_F(StationStateTest, ARunningStationsRowIsWrittenAgainAsAHeartbeat) {
  StationStateWriter writer(Store());
  StationState state;
  state.pc = "pc-1";
  state.port = kPort;
  state.state = "flashing";
  state.progressMs = 1234;
  writer.Post(state);
  const int64_t first = AwaitRow([](const StationState&) { return true; }).updatedMs;
  const StationState again = AwaitRow([&](const StationState& s) { return s.updatedMs > first; });
  EXPECT_EQ(again.state, "flashing");
  EXPECT_EQ(again.progressMs, 1234) << "a heartbeat is no progress";
}

TEST_F(StationStateTest, AFailedWriteIsDroppedAndTheNextGoesOn) {
  // The store's folder is not there at first: no store can be opened.
  const std::string folder = scratch_.Path() + "/later";
  StationStateWriter writer(folder + "/records.sqlite");
  StationState state;
  state.pc = "pc-1";
  state.port = kPort;
  for (unsigned percent = 0; percent <= 100; percent += 10) {
    state.state = "flashing";
    state.percent = percent;
    writer.Post(state);  // never waits for the store
  }
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string error;
  std::unique_ptr<RecordStore> store = OpenRecordStore(folder + "/records.sqlite", error);
  ASSERT_NE(store, nullptr) << error;
  state.state = "passed";
  writer.Post(state);
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);;) {
    std::vector<StationState> states;
    ASSERT_TRUE(store->ReadStationStates(states, error)) << error;
    if (states.size() == 1 && states[0].state == "passed") break;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the next write never came";
    store->WaitForChange(200, error);
  }
}

}  // namespace
