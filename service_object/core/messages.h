#pragma once
// Texts the service object shows in its message boxes.

#include <string_view>

namespace varnel::messages {

inline constexpr std::u16string_view kFileOpenError = u"File open error...";
inline constexpr std::u16string_view kDeviceNameTooLong =
    u"Device name too long... (the device key path is limited to 99 characters)";
inline constexpr std::u16string_view kRegisterOpenError = u"Register Open Error";
inline constexpr std::u16string_view kBaudrateReadError = u"Baudrate Read Error";
inline constexpr std::u16string_view kComportReadError = u"Comport Read Error";
// Shown after the port name: "COM3 Open Error !".
inline constexpr std::u16string_view kOpenErrorSuffix = u" Open Error !";
inline constexpr std::u16string_view kTooManyChars =
    u"Exceeded to max number of input chars! [limit to 64 chars]";

}  // namespace varnel::messages
