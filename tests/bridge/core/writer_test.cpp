// One writer per display: coalescing under a burst, and the line rules (port gone, stalled,
// offline at start-up) with their events and the redraw after the port comes back.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bridge/core/request_handler.h"
#include "tests/bridge/core/fake_port.h"

namespace bridge {
namespace {

using testing::Bytes;
using testing::FakePort;
using namespace std::chrono_literals;

const varnel::CodePage& page_437() { return *varnel::find_code_page(437); }

std::string padded(std::string text) {
  text.resize(20, ' ');
  return text;
}

HttpRequest put_lines(const std::string& first, const std::string& second) {
  return {"PUT",
          "/v1/displays/pos/lines",
          {{"Content-Type", "application/json"}},
          R"({"lines":[")" + first + R"(",")" + second + R"("]})"};
}

// While the writer is busy, a burst of requests from many threads: the display then shows
// exactly one request's screen, and no write ever left it showing a screen no request asked for.
TEST(Coalescing, BurstEndsOnExactlyOneRequestsScreen) {
  FakePort port;
  EventFeed events;
  DisplayChannel channel({"pos", "/dev/fake", 9600, 437}, page_437(), port, events);
  const RequestHandler handler({}, {&channel}, {});

  port.set_gated(true);
  std::thread first([&] { EXPECT_EQ(handler.handle(put_lines("first", "screen")).status, 204); });
  ASSERT_TRUE(port.wait_for_writes_started(1));

  constexpr int kClients = 64;
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  std::vector<int> statuses(kClients);
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      statuses[i] =
          handler.handle(put_lines("client " + std::to_string(i), "row two " + std::to_string(i))).status;
    });
  }
  port.set_gated(false);
  first.join();
  for (auto& client : clients) client.join();
  for (const int status : statuses) EXPECT_EQ(status, 204);

  std::set<std::array<std::string, 2>> asked{{padded("first"), padded("screen")}};
  for (int i = 0; i < kClients; ++i)
    asked.insert({padded("client " + std::to_string(i)), padded("row two " + std::to_string(i))});

  // Replay the writes one by one: after each, the display shows a screen some request asked for.
  FakePort replay;
  replay.open(u"", varnel::ParitySelector::kNone, 9600);
  for (const Bytes& write : port.writes()) {
    replay.write(write);
    EXPECT_TRUE(asked.contains(replay.shown())) << replay.shown()[0] << "|" << replay.shown()[1];
  }
  const auto snapshot = channel.snapshot();
  const std::array<std::string, 2> model{std::string(snapshot.rows[0].begin(), snapshot.rows[0].end()),
                                         std::string(snapshot.rows[1].begin(), snapshot.rows[1].end())};
  EXPECT_EQ(port.shown(), model);
  // Far fewer writes than requests: the screens in between were never sent.
  EXPECT_LT(port.writes().size(), static_cast<std::size_t>(kClients) / 2);
}

struct LineCase {
  const char* name;
  void (*fault)(FakePort&);
  const char* reason;
};

class LineFaults : public ::testing::TestWithParam<LineCase> {};

// A fault answers 503 naming it and an offline event; once the fault is gone, the next request
// answers 204, the display is cleared and drawn whole again, and an online event follows.
TEST_P(LineFaults, OfflineThenRedrawnWhole) {
  FakePort port;
  EventFeed events;
  DisplayChannel channel({"pos", "/dev/fake", 9600, 437}, page_437(), port, events);
  const RequestHandler handler({}, {&channel}, {});
  ASSERT_EQ(handler.handle(put_lines("Total", "12.50")).status, 204);

  GetParam().fault(port);
  const HttpResponse refused = handler.handle({"POST",
                                               "/v1/displays/pos/text",
                                               {{"Content-Type", "application/json"}},
                                               R"({"row":1,"column":0,"text":"13.00"})"});
  EXPECT_EQ(refused.status, 503);
  EXPECT_NE(refused.body.find(GetParam().reason), std::string::npos) << refused.body;
  EXPECT_FALSE(channel.snapshot().online);

  port.set_plugged(true);
  port.set_stalled(false);
  const std::size_t before = port.writes().size();
  ASSERT_EQ(handler
                .handle({"POST",
                         "/v1/displays/pos/text",
                         {{"Content-Type", "application/json"}},
                         R"({"row":0,"column":0,"text":"Sum  "})"})
                .status,
            204);
  const auto writes = port.writes();
  ASSERT_EQ(writes.size(), before + 1);
  EXPECT_EQ(writes.back().front(), 0x0C);  // cleared, then both rows from the screen
  EXPECT_EQ(port.shown(), (std::array<std::string, 2>{padded("Sum  "), padded("13.00")}));
  EXPECT_TRUE(channel.snapshot().online);

  const auto seen = events.wait_after(0, 0ms);
  ASSERT_EQ(seen.size(), 3u);  // the first state, offline, online again
  EXPECT_TRUE(seen[0].online);
  EXPECT_FALSE(seen[1].online);
  EXPECT_EQ(seen[1].reason, GetParam().reason);
  EXPECT_TRUE(seen[2].online);
}

INSTANTIATE_TEST_SUITE_P(
    Bridge, LineFaults,
    ::testing::Values(LineCase{"unplugged", [](FakePort& p) { p.set_plugged(false); }, "port gone"},
                      LineCase{"stalled", [](FakePort& p) { p.set_stalled(true); }, "stalled"}),
    [](const auto& info) { return std::string(info.param.name); });

// A display that is not there at start-up does not stop the bridge: it is offline, each request
// tries the port once more, and the first that finds it shows its screen.
TEST(OfflineAtStart, EachRequestTriesThePortAgain) {
  FakePort port;
  port.set_plugged(false);
  EventFeed events;
  DisplayChannel channel({"pos", "/dev/fake", 9600, 437}, page_437(), port, events);
  const RequestHandler handler({}, {&channel}, {});
  EXPECT_FALSE(channel.snapshot().online);
  EXPECT_EQ(handler.handle(put_lines("A", "B")).status, 503);
  EXPECT_EQ(handler.handle(put_lines("C", "D")).status, 503);
  EXPECT_EQ(port.opens(), 3);
  port.set_plugged(true);
  EXPECT_EQ(handler.handle(put_lines("E", "F")).status, 204);
  EXPECT_EQ(port.shown(), (std::array<std::string, 2>{padded("E"), padded("F")}));
}

// The marquee scrolls on the writer's own clock, and a lines request on its row ends it.
TEST(Marquee, ScrollsUntilTheRowIsWritten) {
  FakePort port;
  EventFeed events;
  DisplayChannel channel({"pos", "/dev/fake", 9600, 437}, page_437(), port, events);
  const RequestHandler handler({}, {&channel}, {});
  ASSERT_EQ(handler
                .handle({"PUT",
                         "/v1/displays/pos/marquee",
                         {{"Content-Type", "application/json"}},
                         R"({"text":"SALE","row":0,"unit_wait_ms":20})"})
                .status,
            204);
  // 20 steps bring the text's first letter to the first column.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (port.shown()[0].rfind("SALE", 0) != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(port.shown()[0].substr(0, 4), "SALE");

  ASSERT_EQ(handler.handle(put_lines("Still", "")).status, 204);
  ASSERT_EQ(handler
                .handle({"POST",
                         "/v1/displays/pos/text",
                         {{"Content-Type", "application/json"}},
                         R"({"row":1,"column":0,"text":"x"})"})
                .status,
            204);
  EXPECT_EQ(port.shown()[0], padded("Still"));
}

}  // namespace
}  // namespace bridge
