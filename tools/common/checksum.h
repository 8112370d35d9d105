// SHA-256 of a byte string as 64 lower-case hex digits: the fingerprint the
// report's header gives of the case file it rated.
#pragma once

#include <string>
#include <string_view>

namespace hxrate::tools {

std::string sha256Hex(std::string_view bytes);

}  // namespace hxrate::tools
