#pragma once
// Configuration and port problems shown to the user as modal message boxes.

#include <string_view>

#include "service_object/core/message_sink.h"
#include "service_object/win32/event_log.h"
#include "service_object/win32/interactive_session.h"

namespace varnel {

// A box with an OK button and the warning icon (the problems it reports stop an operation but
// are the user's to fix, not internal errors). It has no owner window: the library lives in
// someone else's process and cannot know which of its windows, if any, is the right parent;
// MB_TASKMODAL instead disables the calling thread's top-level windows while the box is up, so
// the box is modal to the application either way. The caption is the file name, without
// extension, of the module this code is linked into ("VARNEL" in the shipped library).
//
// Where nobody can answer a box (a service, session 0, a window station that is not visible),
// none is shown: the text goes to the Application event log under the source "VARNEL" and the
// call goes on at once, exactly as after a dismissed box (docs/integrator.md: the message table).
class Win32MessageBox final : public MessageSink {
 public:
  // What show() asks of its surroundings; tests put their own in.
  struct Surroundings {
    bool (*someone_can_answer)() = win32::someone_can_answer_a_box;
    bool (*record)(std::wstring_view source, std::wstring_view text) = win32::record_in_event_log;
  };

  Win32MessageBox() = default;
  explicit Win32MessageBox(Surroundings surroundings) : surroundings_(surroundings) {}

  // Returns when the user has dismissed the box (or at once if no box can be shown).
  void show(std::u16string_view text) override;

 private:
  Surroundings surroundings_;
};

}  // namespace varnel
