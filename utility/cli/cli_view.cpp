#include "utility/cli/cli_view.h"

#include <algorithm>

#include "utility/core/selection_lists.h"

namespace utility {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

// Line breaks stay; other control bytes from the display are shown as dots so
// a terminal never receives control sequences.
std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\n') {
      c = '.';
    }
  }
  return shown;
}

}  // namespace

int CliView::SelectedIndex(int listId) const {
  const auto found = selected_.find(listId);
  return found == selected_.end() ? kNoSelection : found->second;
}

std::string CliView::EditText(int editId, std::size_t maxChars) const {
  const auto found = edits_.find(editId);
  return found == edits_.end() ? std::string() : found->second.substr(0, maxChars);
}

void CliView::ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) {
  std::ostream& stream = icon == MessageIcon::Information ? out_ : err_;
  stream << Trim(title) << ": " << Printable(text) << '\n';
  stream.flush();
}

void CliView::StartTimer(unsigned timerId, unsigned periodMs) {
  timers_[timerId] = Clock::now() + std::chrono::milliseconds(periodMs);
}

std::optional<std::pair<unsigned, CliView::Clock::time_point>> CliView::NextTimer() const {
  if (timers_.empty()) {
    return std::nullopt;
  }
  const auto first = std::min_element(timers_.begin(), timers_.end(),
                                      [](const auto& a, const auto& b) { return a.second < b.second; });
  return *first;
}

}  // namespace utility
