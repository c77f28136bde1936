#pragma once
// Where the service object shows configuration and port problems to the user. On Windows this
// is a modal message box with an OK button, captioned with the library's file name without
// extension; the call returns after the box is dismissed.

#include <string_view>

namespace varnel {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void show(std::u16string_view text) = 0;
};

}  // namespace varnel
