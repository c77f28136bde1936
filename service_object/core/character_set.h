#pragma once
// The OPOS character set of one service object: how the text of DisplayText and DisplayTextAt
// becomes the display's bytes.
//
// The default is DISP_CS_ASCII (998): each UTF-16 code unit is sent as its low byte, so ASCII
// text reaches the display unchanged and what other characters show depends on the code page
// chosen in the display itself. Selecting an offered code page (CharacterSetList) converts the
// text to it instead, an unmappable or control character becoming '?'. Selecting 998 again
// returns to the default. The display is not told: its own default font must be set to the same
// code page (with the configuration utility). The integrator's guide (docs/integrator.md) lists these choices
// (properties and character sets).

#include <cstdint>
#include <string>
#include <string_view>

#include "service_object/core/code_page.h"
#include "service_object/core/display_commands.h"

namespace varnel {

class CharacterSet {
 public:
  // DISP_CS_ASCII: the default, each code unit's low byte.
  static constexpr std::int32_t kDefault = 998;

  // The OPOS CharacterSet value in force.
  [[nodiscard]] std::int32_t number() const { return page_ == nullptr ? kDefault : page_->number; }

  // True while text is converted to a code page (the OPOS MapCharacterSet answer).
  [[nodiscard]] bool converts() const { return page_ != nullptr; }

  // Selects `number` when it is offered (998 or a code page of CharacterSetList) and answers
  // true; otherwise answers false and keeps the present one.
  bool select(std::int32_t number);

  // The text for the display, as text_to_display_bytes counts and cuts it (up to the first NUL,
  // at most kTransmitBufferSize code units), converted by the character set in force.
  // The character a display byte shows in the character set in force: the byte itself as a
  // code unit by default, the code page's character otherwise ('?' for a byte it does not use).
  [[nodiscard]] char16_t decode(std::uint8_t byte) const;

  [[nodiscard]] TextBytes encode(std::u16string_view text,
                                 std::span<std::uint8_t, kTransmitBufferSize> out) const;

 private:
  const CodePage* page_ = nullptr;  // null: the default
};

// The OPOS CharacterSetList answer: "998" followed by every offered code page, comma-separated.
[[nodiscard]] std::u16string character_set_list();

}  // namespace varnel
