#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "utility/core/dialog_view.h"

namespace utility {

// The dialog's controls for a command line: plain state in place of a window,
// message boxes as lines of output (information on the output stream, errors
// and warnings on the error stream), timers as deadlines the front end checks.
class CliView final : public DialogView {
 public:
  using Clock = std::chrono::steady_clock;

  CliView(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  // The dialog's outcome, not its buttons, tells the command line what happened.
  void EnableControl(int /*controlId*/, bool /*enabled*/) override {}
  void AddListEntry(int listId, std::string_view entry) override { lists_[listId].emplace_back(entry); }
  void SelectListEntry(int listId, int index) override { selected_[listId] = index; }
  int SelectedIndex(int listId) const override;
  std::string EditText(int editId, std::size_t maxChars) const override;
  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override;
  void StartTimer(unsigned timerId, unsigned periodMs) override;
  void StopTimer(unsigned timerId) override { timers_.erase(timerId); }
  void EndDialog() override {}

  void SetEdit(int editId, std::string text) { edits_[editId] = std::move(text); }
  // The earliest running timer, if any.
  std::optional<std::pair<unsigned, Clock::time_point>> NextTimer() const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::map<int, std::vector<std::string>> lists_;
  std::map<int, int> selected_;
  std::map<int, std::string> edits_;
  std::map<unsigned, Clock::time_point> timers_;
};

}  // namespace utility
