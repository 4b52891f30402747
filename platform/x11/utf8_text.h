// Text from window properties, which any client may set to any bytes, as valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace orvel::x11 {

// `bytes` as valid UTF-8: Latin-1 text is converted, invalid sequences become U+FFFD.
std::string toUtf8(std::string_view bytes, bool latin1);

}  // namespace orvel::x11
