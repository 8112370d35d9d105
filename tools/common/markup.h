// Text placed inside SVG, HTML and JSON documents, which must be UTF-8
// whatever bytes a case file or a file name holds; and text shown on a line
// of a message, which must stay one line whatever a file name holds.
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

// Hands `emit` the pieces of `text` in order, each control character that
// could break or rewrite a line of a message replaced by its escape: LF as
// \n, CR as \r, the other C0 controls, DEL and the C1 controls (U+0080 to
// U+009F, in UTF-8) as \xHH for each byte. A tab and every other byte stay
// as they are, a backslash too, so that text escaped once is unchanged by a
// second escaping. Allocates nothing: it also serves when memory has run out.
template <typename Emit>
void escapeControls(std::string_view text, Emit&& emit) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::size_t plain = 0;  // the start of the text not yet handed on
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((c >= 0x20 || c == '\t') && c != 0x7F && !c1) continue;
        emit(text.substr(plain, i - plain));
        for (std::size_t k = 0; k < (c1 ? 2u : 1u); ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            const char escape[4] = {'\\',
                                    b == '\n'   ? 'n'
                                    : b == '\r' ? 'r'
                                                : 'x',
                                    hex[b >> 4], hex[b & 0x0F]};
            emit(std::string_view(escape, b == '\n' || b == '\r' ? 2 : 4));
        }
        i += c1 ? 1 : 0;
        plain = i + 1;
    }
    emit(text.substr(plain));
}

// `text` with its control characters escaped as escapeControls() does: a
// name or message fit to stand on one line of standard error or a table.
std::string escapedText(std::string_view text);

}  // namespace hxrate::tools
