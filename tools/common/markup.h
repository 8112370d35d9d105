// Text placed inside SVG, HTML and JSON documents, which must be UTF-8
// whatever bytes a case file or a file name holds.
#pragma once

#include <string>
#include <string_view>

namespace hxrate::tools {

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
inline constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// `text` with each ill-formed UTF-8 sequence replaced by `replacement`: one
// replacement for each maximal subpart (a byte that cannot start a
// sequence, or the longest start of a sequence that breaks off), as the
// Unicode Standard recommends (chapter 3, "U+FFFD Substitution of Maximal
// Subparts") and as browsers decode. Well-formed text is returned unchanged.
std::string validUtf8(std::string_view text, std::string_view replacement = replacementCharacter);

// Text with the five XML special characters replaced by their entities and
// each ill-formed UTF-8 sequence by the character reference &#xFFFD;.
std::string xmlEscape(std::string_view text);

}  // namespace hxrate::tools
