#pragma once
// Configuration and port problems shown to the user as modal message boxes.

#include <string_view>

#include "service_object/core/message_sink.h"

namespace varnel {

// A box with an OK button and the warning icon (the problems it reports stop an operation but
// are the user's to fix, not internal errors). It has no owner window: the library lives in
// someone else's process and cannot know which of its windows, if any, is the right parent;
// MB_TASKMODAL instead disables the calling thread's top-level windows while the box is up, so
// the box is modal to the application either way. The caption is the file name, without
// extension, of the module this code is linked into ("VARNEL" in the shipped library).
class Win32MessageBox final : public MessageSink {
 public:
  Win32MessageBox() = default;

  // Returns when the user has dismissed the box (or at once if no box can be shown).
  void show(std::u16string_view text) override;
};

}  // namespace varnel
