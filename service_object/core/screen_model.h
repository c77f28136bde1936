#pragma once
// What the display shows and what the application has asked it to show: the 2x20 cells and
// cursor, the windows with their viewports, each window's text and cursor, and the marquees.
//
// Every output call changes the model and appends to a Transmission the display commands that
// make the display equal to it. The model keeps a mirror of the display, fed with every byte it
// emits, so that it sends only what changes and never leaves the display to wrap text on its own:
// text that reaches a row's end is continued with an explicit cursor move.
//
// Window 0 (the whole display) takes its bytes as the display does: control codes pass, a cursor
// move off the screen is ignored, a scroll in a direction the display lacks does nothing, and
// text past the end of the lower row goes on at the upper left. Its calls send exactly the
// display's own commands. Windows 1 to 4 follow the LineDisplay device class: text wraps to the
// window's next row and scrolls the window up at its end, ScrollText moves a window larger than
// its viewport, marquees step on a clock passed in. The integrator's guide lists the rules
// (docs/integrator.md, "Windows, cursor and marquee").
//
// Pure: no OS calls. The caller serialises access (the service object's device lock).

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace varnel {

using Clock = std::chrono::steady_clock;

inline constexpr int kScreenRows = 2;
inline constexpr int kScreenColumns = 20;
inline constexpr int kMaxWindow = 4;  // DeviceWindows: windows 1 to 4 besides window 0
inline constexpr std::uint8_t kBlankCell = 0x20;

using ScreenCells = std::array<std::array<std::uint8_t, kScreenColumns>, kScreenRows>;

// The bytes of one call, as separate writes of at most `limit` bytes each.
class Transmission {
 public:
  explicit Transmission(std::size_t limit = 64) : limit_(limit) {}
  // The next bytes start a new write (a call's separate writes stay apart).
  void begin_write() { open_ = false; }
  void add(std::span<const std::uint8_t> bytes);
  void add(std::uint8_t byte) { add(std::span<const std::uint8_t>(&byte, 1)); }
  [[nodiscard]] const std::vector<std::vector<std::uint8_t>>& writes() const { return writes_; }
  [[nodiscard]] bool empty() const { return writes_.empty(); }

 private:
  std::size_t limit_;
  bool open_ = false;
  std::vector<std::vector<std::uint8_t>> writes_;
};

// A 2x20 character screen fed with display bytes, taking each as the display does: a character
// at the cursor (the cursor moving on; past the row's end it stands at column 20), 0x0C clears
// and homes, 0x1F 0x24 c r moves (ignored off the screen), 0x1F 0x04 d u scrolls, the other
// 0x1F sequences change nothing on the screen.
class DisplayMirror {
 public:
  DisplayMirror() { clear(); }
  void feed(std::uint8_t byte);
  void feed(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) feed(b);
  }
  void clear();
  [[nodiscard]] bool in_sequence() const { return stage_ != Stage::kIdle; }
  [[nodiscard]] const ScreenCells& cells() const { return cells_; }
  [[nodiscard]] int row() const { return row_; }
  [[nodiscard]] int column() const { return column_; }
  // True when the next character would not land where column() says (past a row's end).
  [[nodiscard]] bool past_row_end() const { return column_ >= kScreenColumns; }

 private:
  enum class Stage { kIdle, kCommand, kArguments };
  void put(std::uint8_t byte);
  void apply_sequence();

  ScreenCells cells_{};
  int row_ = 0;
  int column_ = 0;
  Stage stage_ = Stage::kIdle;
  std::uint8_t command_ = 0;
  std::array<std::uint8_t, 2> arguments_{};
  std::size_t argument_count_ = 0;
};

// MarqueeType and MarqueeFormat values of the device class.
enum class MarqueeType : std::int32_t { kNone = 0, kUp = 1, kDown = 2, kLeft = 3, kRight = 4, kInit = 5 };
enum class MarqueeFormat : std::int32_t { kWalk = 0, kPlace = 1 };

// One window's marquee.
struct MarqueeState {
  MarqueeType type = MarqueeType::kNone;
  MarqueeFormat format = MarqueeFormat::kWalk;
  std::int32_t unit_wait = 0;
  std::int32_t repeat_wait = 0;
  int position = 0;  // steps taken in the present pass
  Clock::time_point due{};
  std::vector<std::uint8_t> frozen;  // the viewport as shown when Init began
};
// One window: its viewport on the screen, its text and cursor, its marquee.
struct ScreenWindow {
  int viewport_row = 0, viewport_column = 0, viewport_height = kScreenRows, viewport_width = kScreenColumns;
  int height = kScreenRows, width = kScreenColumns;
  std::vector<std::uint8_t> cells;
  int row = 0, column = 0;  // cursor; column may equal width (past the row's end)
  bool cursor_update = true;
  int top = 0, left = 0;  // the window cell shown at the viewport's upper left
  MarqueeState marquee;
  [[nodiscard]] std::size_t index(int r, int c) const {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(width) + static_cast<std::size_t>(c);
  }
  [[nodiscard]] std::uint8_t& at(int r, int c) { return cells[index(r, c)]; }
  [[nodiscard]] std::uint8_t at(int r, int c) const { return cells[index(r, c)]; }
  [[nodiscard]] std::uint8_t viewport_cell(int r, int c) const;  // r, c inside the viewport
};

class ScreenModel {
 public:
  ScreenModel();

  // --- Output on the current window; each answers an OPOS result code (0 or 106) and appends
  // the bytes to send to `out`. Text is already in the display's bytes.
  std::int32_t display_text(std::span<const std::uint8_t> text, Transmission& out);
  std::int32_t display_text_at(std::int32_t row, std::int32_t column, std::span<const std::uint8_t> text,
                               Transmission& out);
  std::int32_t clear_text(Transmission& out);
  std::int32_t scroll_text(std::int32_t direction, std::int32_t units, Transmission& out);

  // --- Windows
  std::int32_t create_window(std::int32_t viewport_row, std::int32_t viewport_column,
                             std::int32_t viewport_height, std::int32_t viewport_width,
                             std::int32_t window_height, std::int32_t window_width, Transmission& out);
  std::int32_t destroy_window(Transmission& out);
  std::int32_t refresh_window(std::int32_t window, Transmission& out);
  std::int32_t set_current_window(std::int32_t window, Transmission& out);
  [[nodiscard]] std::int32_t current_window() const { return current_; }
  [[nodiscard]] std::int32_t rows() const;
  [[nodiscard]] std::int32_t columns() const;

  // --- Cursor of the current window
  [[nodiscard]] std::int32_t cursor_row() const;
  [[nodiscard]] std::int32_t cursor_column() const;
  std::int32_t set_cursor_row(std::int32_t row, Transmission& out);
  std::int32_t set_cursor_column(std::int32_t column, Transmission& out);
  [[nodiscard]] bool cursor_update() const;
  void set_cursor_update(bool update);
  // The byte under the current window's cursor, or nothing when the cursor stands past a row's end.
  [[nodiscard]] std::optional<std::uint8_t> character_at_cursor() const;

  // --- Marquee of the current window
  [[nodiscard]] std::int32_t marquee_type() const;
  [[nodiscard]] std::int32_t marquee_format() const;
  [[nodiscard]] std::int32_t marquee_unit_wait() const;
  [[nodiscard]] std::int32_t marquee_repeat_wait() const;
  std::int32_t set_marquee_type(std::int32_t type, Clock::time_point now, Transmission& out);
  std::int32_t set_marquee_format(std::int32_t format);
  std::int32_t set_marquee_unit_wait(std::int32_t ms);
  std::int32_t set_marquee_repeat_wait(std::int32_t ms);
  // When the next marquee step is due, or nothing when no marquee runs.
  [[nodiscard]] std::optional<Clock::time_point> next_marquee_step() const;
  // Takes every marquee step due at `now` and draws the result.
  void step_marquees(Clock::time_point now, Transmission& out);
  // Stops every marquee; the windows show as they stand (drawn at the next output).
  void stop_marquees();

  // --- Recovery
  // The display may no longer show the model (a failed write, raw bytes): the next output first
  // clears it and draws the model again.
  void mark_unknown() { known_ = false; }
  [[nodiscard]] bool known() const { return known_; }
  // Clears the display and draws the model.
  void redraw(Transmission& out);

  // What the display shows (as far as the model knows) and what it should show.
  [[nodiscard]] const DisplayMirror& display() const { return display_; }
  [[nodiscard]] ScreenCells composed() const;

  // The fastest marquee step: a step's bytes take about 3 ms at 9600 bit/s.
  static constexpr std::int32_t kMinimumUnitWaitMs = 20;
  static constexpr int kMaxWindowCells = 2 * 256;  // the largest window, in cells

 private:
  using Window = ScreenWindow;

  [[nodiscard]] Window& current() { return *windows_[static_cast<std::size_t>(current_)]; }
  [[nodiscard]] const Window& current() const { return *windows_[static_cast<std::size_t>(current_)]; }
  [[nodiscard]] bool passthrough() const;
  [[nodiscard]] bool marquee_running(const Window& window) const;

  // Sends bytes to the display (and, in passthrough, to window 0 as well).
  void emit(std::span<const std::uint8_t> bytes, Transmission& out, bool to_window0);
  void emit_move(int row, int column, Transmission& out, bool to_window0);
  void window0_text(std::span<const std::uint8_t> text, Transmission& out);
  void window_text(Window& window, std::span<const std::uint8_t> text);
  void prepare(Transmission& out);
  // Makes the display show composed(), then places its cursor at the current window's cursor.
  void draw(Transmission& out);
  void place_cursor(Transmission& out);
  void marquee_step(Window& window);
  [[nodiscard]] int marquee_end(const Window& window) const;
  [[nodiscard]] int marquee_start(const Window& window) const;

  std::array<std::optional<Window>, kMaxWindow + 1> windows_;
  std::int32_t current_ = 0;
  DisplayMirror display_;  // what the display shows
  DisplayMirror window0_;  // window 0's text and cursor, fed as the display is
  bool known_ = true;
};

}  // namespace varnel
