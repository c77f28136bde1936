// Power reports: PowerState after each kind of write, the status-update events they queue, and
// when those reach the Control Object (only from the apartment's message loop, which the test
// runs by hand; held while frozen; never after close).

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "service_object/core/opos_properties.h"
#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;

// The Control Object's event method: records each event.
class RecordingControl final : public StatusSink {
 public:
  void status_update(std::int32_t status) override {
    events.push_back(status);
    if (during) during(status);
  }
  std::vector<std::int32_t> events;
  std::function<void(std::int32_t)> during;  // what the Control Object does inside its event
};

// The apartment's message queue: posts are counted; run() is the message loop taking them.
class QueuedPosters final : public EventPosters {
 public:
  std::unique_ptr<EventPoster> open(EventReceiver& receiver) override {
    receiver_ = &receiver;
    ++opened;
    return std::make_unique<Poster>(*this);
  }
  // Runs the deliveries posted so far, as the message loop would.
  void run() {
    for (; pending > 0; --pending) {
      if (live && receiver_ != nullptr) receiver_->deliver_events();
    }
  }
  int pending = 0;
  int opened = 0;
  bool live = false;

 private:
  class Poster final : public EventPoster {
   public:
    explicit Poster(QueuedPosters& owner) : owner_(owner) { owner_.live = true; }
    ~Poster() override { owner_.live = false; }  // posted deliveries die with the window
    Poster(const Poster&) = delete;
    Poster& operator=(const Poster&) = delete;
    void post() override { ++owner_.pending; }

   private:
    QueuedPosters& owner_;
  };
  EventReceiver* receiver_ = nullptr;
};

struct PowerWorld {
  PowerWorld() {
    world.module.platform().events = &posters;
    control = std::make_shared<RecordingControl>();
  }
  // Open with the Control Object, PowerNotify enabled, claim and enable.
  void start() {
    so.OpenService(u"", u"", control);
    so.SetPropertyNumber(PIDX_PowerNotify, OPOS_PN_ENABLED);
    so.ClaimDevice(0);
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  }
  FakeWorld world;
  QueuedPosters posters;
  std::shared_ptr<RecordingControl> control;
  ID_TARVO_VARNEL so{world.module};
};

// One step of the application (or the port under it) and the PowerState after it.
struct Step {
  std::function<void(PowerWorld&)> act;
  std::int32_t state;
};

Step write(WriteResult result, std::int32_t state) {
  return {[result](PowerWorld& w) {
            w.world.port.results.push_back(result);
            w.so.DisplayText(u"1.99", 0);
          },
          state};
}
Step unplugged_write(std::int32_t state) {
  return {[](PowerWorld& w) {
            w.world.port.available_ports.erase(u"COM3");
            w.so.DisplayText(u"1.99", 0);
          },
          state};
}
Step replugged_write(std::int32_t state) {
  return {[](PowerWorld& w) {
            w.world.port.available_ports.insert(u"COM3");
            w.so.DisplayText(u"1.99", 0);
          },
          state};
}

constexpr WriteResult kOk = WriteResult::kWritten;
constexpr std::int32_t kUnknown = OPOS_PS_UNKNOWN;
constexpr std::int32_t kOnline = OPOS_PS_ONLINE;
constexpr std::int32_t kOff = OPOS_PS_OFF_OFFLINE;

struct PowerCase {
  const char* name;
  bool notify;
  std::vector<Step> steps;
  std::vector<std::int32_t> events;
};

void PrintTo(const PowerCase& c, std::ostream* os) { *os << c.name; }

class PowerChange : public ::testing::TestWithParam<PowerCase> {};

TEST_P(PowerChange, SetsPowerStateAndReachesTheControlObjectFromTheMessageLoop) {
  const PowerCase& c = GetParam();
  PowerWorld w;
  w.so.OpenService(u"", u"", w.control);
  w.so.SetPropertyNumber(PIDX_PowerNotify, c.notify ? OPOS_PN_ENABLED : OPOS_PN_DISABLED);
  w.so.ClaimDevice(0);
  w.so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  EXPECT_EQ(w.so.GetPropertyNumber(PIDX_PowerState), kUnknown) << "no write has told yet";
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    c.steps[i].act(w);
    EXPECT_EQ(w.so.GetPropertyNumber(PIDX_PowerState), c.steps[i].state) << "step " << i;
  }
  EXPECT_TRUE(w.control->events.empty()) << "an event was delivered outside the message loop";
  w.posters.run();
  EXPECT_EQ(w.control->events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PowerChange,
    ::testing::Values(
        PowerCase{
            "notify disabled", false, {write(kOk, kUnknown), write(WriteResult::kTimedOut, kUnknown)}, {}},
        PowerCase{
            "first write online", true, {write(kOk, kOnline), write(kOk, kOnline)}, {OPOS_SUE_POWER_ONLINE}},
        PowerCase{"stalled line and back",
                  true,
                  {write(kOk, kOnline), write(WriteResult::kTimedOut, kOff),
                   write(WriteResult::kTimedOut, kOff), write(kOk, kOnline)},
                  {OPOS_SUE_POWER_ONLINE, OPOS_SUE_POWER_OFF_OFFLINE, OPOS_SUE_POWER_ONLINE}},
        PowerCase{"port gone until replugged",
                  true,
                  {write(kOk, kOnline), write(WriteResult::kPortLost, kOff), unplugged_write(kOff),
                   replugged_write(kOnline)},
                  {OPOS_SUE_POWER_ONLINE, OPOS_SUE_POWER_OFF_OFFLINE, OPOS_SUE_POWER_ONLINE}},
        PowerCase{"gone from the first write",
                  true,
                  {write(WriteResult::kTimedOut, kOff)},
                  {OPOS_SUE_POWER_OFF_OFFLINE}},
        PowerCase{"a refused write says nothing of power",
                  true,
                  {write(kOk, kOnline), write(WriteResult::kFailed, kOnline)},
                  {OPOS_SUE_POWER_ONLINE}}));

struct NotifyCase {
  const char* name;
  bool opened;
  bool enabled;
  std::int32_t value;
  std::int32_t result;
  std::int32_t notify_after;
};

TEST(PowerNotify, IsSetOnlyWhileOpenAndDisabled) {
  const NotifyCase cases[] = {
      {"disabled, enable", true, false, OPOS_PN_ENABLED, OPOS_SUCCESS, OPOS_PN_ENABLED},
      {"disabled, disable", true, false, OPOS_PN_DISABLED, OPOS_SUCCESS, OPOS_PN_DISABLED},
      {"enabled device", true, true, OPOS_PN_ENABLED, OPOS_E_ILLEGAL, OPOS_PN_DISABLED},
      {"not a notify value", true, false, 2, OPOS_E_ILLEGAL, OPOS_PN_DISABLED},
      {"closed", false, false, OPOS_PN_ENABLED, OPOS_E_CLOSED, OPOS_PN_DISABLED},
  };
  for (const NotifyCase& c : cases) {
    PowerWorld w;
    if (c.opened) {
      w.so.OpenService(u"", u"", w.control);
      w.so.ClaimDevice(0);
    }
    if (c.enabled) w.so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
    w.so.SetPropertyNumber(PIDX_PowerNotify, c.value);
    EXPECT_EQ(w.so.result_code(), c.result) << c.name;
    EXPECT_EQ(w.so.GetPropertyNumber(PIDX_PowerNotify), c.notify_after) << c.name;
  }
}

TEST(PowerEvents, AreHeldWhileFrozenAndDeliveredInOrderOnThaw) {
  PowerWorld w;
  w.start();
  w.so.COFreezeEvents(true);
  w.world.port.results.assign({kOk, WriteResult::kTimedOut, kOk});
  for (int i = 0; i < 3; ++i) w.so.DisplayText(u"x", 0);
  w.posters.run();
  EXPECT_TRUE(w.control->events.empty()) << "delivered while frozen";
  w.so.COFreezeEvents(false);
  EXPECT_TRUE(w.control->events.empty()) << "the thaw delivers from the message loop, not inside the call";
  w.posters.run();
  EXPECT_EQ(w.control->events, (std::vector<std::int32_t>{OPOS_SUE_POWER_ONLINE, OPOS_SUE_POWER_OFF_OFFLINE,
                                                          OPOS_SUE_POWER_ONLINE}));
}

TEST(PowerEvents, NoneAfterCloseServiceAndTheControlObjectIsLetGo) {
  PowerWorld w;
  w.start();
  w.so.DisplayText(u"x", 0);  // online, posted, not yet delivered
  EXPECT_GT(w.control.use_count(), 1);
  EXPECT_EQ(w.so.CloseService(), OPOS_SUCCESS);
  w.posters.run();
  w.so.deliver_events();  // a delivery that still came through: the queue is gone
  EXPECT_TRUE(w.control->events.empty());
  EXPECT_FALSE(w.posters.live) << "the window stays after close";
  EXPECT_EQ(w.control.use_count(), 1) << "the Control Object is still held";
}

TEST(PowerEvents, CloseInsideAnEventEndsTheDeliveries) {
  PowerWorld w;
  w.start();
  w.so.COFreezeEvents(true);
  w.world.port.results.assign({kOk, WriteResult::kTimedOut});
  w.so.DisplayText(u"x", 0);
  w.so.DisplayText(u"x", 0);
  w.control->during = [&](std::int32_t) { w.so.CloseService(); };
  w.so.COFreezeEvents(false);
  w.posters.run();
  EXPECT_EQ(w.control->events, std::vector<std::int32_t>{OPOS_SUE_POWER_ONLINE});
}

TEST(PowerState, IsUnknownAgainOnceDisabled) {
  PowerWorld w;
  w.start();
  w.so.DisplayText(u"x", 0);
  ASSERT_EQ(w.so.GetPropertyNumber(PIDX_PowerState), kOnline);
  w.so.SetPropertyNumber(PIDX_DeviceEnabled, 0);
  EXPECT_EQ(w.so.GetPropertyNumber(PIDX_PowerState), kUnknown);
  EXPECT_EQ(w.so.GetPropertyNumber(PIDX_CapPowerReporting), OPOS_PR_STANDARD);
}

// The timer thread observes while the apartment thread freezes, thaws and takes events: the
// events taken stay in turn (also when a full queue drops some) and end with the last change.
TEST(PowerReportsThreads, EventsTakeTurnsWhileAnotherThreadObserves) {
  PowerReports reports;
  reports.open();
  ASSERT_EQ(reports.set_notify(OPOS_PN_ENABLED, false), OPOS_SUCCESS);
  constexpr int kChanges = 20000;
  std::atomic<bool> done{false};
  std::thread timer([&] {
    for (int i = 0; i < kChanges; ++i) reports.observe(i % 2 == 0 ? LineSeen::kWritten : LineSeen::kGone);
    done = true;
  });
  std::vector<std::int32_t> taken;
  for (int turn = 0; !done.load(); ++turn) {
    reports.freeze(turn % 200 < 100);
    if (const auto event = reports.next_event()) taken.push_back(*event);
  }
  timer.join();
  reports.freeze(false);
  while (const auto event = reports.next_event()) taken.push_back(*event);

  ASSERT_FALSE(taken.empty());
  EXPECT_LE(taken.size(), static_cast<std::size_t>(kChanges));
  EXPECT_EQ(taken.front(), OPOS_SUE_POWER_ONLINE);
  for (std::size_t i = 1; i < taken.size(); ++i) ASSERT_NE(taken[i], taken[i - 1]) << "event " << i;
  EXPECT_EQ(taken.back(), OPOS_SUE_POWER_OFF_OFFLINE);
  EXPECT_EQ(reports.state(), OPOS_PS_OFF_OFFLINE);
}

}  // namespace
}  // namespace varnel::testing
