// Any request to the bridge's core: method, path, headers and body taken from the input, one per
// line up to an empty line ("METHOD\nTARGET\nName: value\n...\n\nBODY"). Every answer has a known
// status, every error is {"error": "..."} JSON, and the screen never holds a byte the display
// would take as a command.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>

#include "bridge/core/request_handler.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// A port that takes every write at once.
class NullPort final : public varnel::SerialPort {
 public:
  bool open(std::u16string_view, varnel::ParitySelector, std::int32_t) override { return true; }
  bool write(std::span<const std::uint8_t>) override { return true; }
  void close() override {}
  [[nodiscard]] bool is_open() const override { return true; }
};

bridge::HttpRequest request_from(std::string_view input) {
  bridge::HttpRequest request;
  const auto next_line = [&input] {
    const auto end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
    return std::string(line);
  };
  request.method = next_line();
  request.target = next_line();
  for (std::string line = next_line(); !line.empty(); line = next_line()) {
    const auto colon = line.find(':');
    request.headers.emplace_back(line.substr(0, colon),
                                 colon == std::string::npos ? "" : line.substr(colon + 1));
  }
  request.body = std::string(input);
  return request;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NullPort port;
  static bridge::EventFeed events;
  static bridge::DisplayChannel channel({"pos", "null", 9600, 858}, *varnel::find_code_page(858), port,
                                        events);
  static const bridge::RequestHandler handler(
      {{"https://pos.example"}, {"127.0.0.1:8765"}, "token", std::chrono::milliseconds(2000)}, {&channel},
      {"page", "module"});
  static const std::set<int> statuses{200, 204, 400, 401, 403, 404, 405, 413, 415, 422, 503};

  const bridge::HttpRequest request = request_from({reinterpret_cast<const char*>(data), size});
  const bridge::HttpResponse response = handler.handle(request);
  require(statuses.contains(response.status));
  if (response.status >= 400) {
    const auto body = nlohmann::json::parse(response.body, nullptr, false);
    require(body.is_object() && body.contains("error") && body["error"].is_string());
  }
  for (const auto& row : channel.snapshot().rows) {
    for (const std::uint8_t byte : row) require(byte >= 0x20 && byte != 0x7F);
  }
  return 0;
}
