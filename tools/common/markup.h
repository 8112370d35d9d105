// Text placed inside SVG and HTML documents.
#pragma once

#include <string>
#include <string_view>

namespace hxrate::tools {

// Text with the five XML special characters replaced by their entities.
std::string xmlEscape(std::string_view text);

}  // namespace hxrate::tools
