#include "markup.h"

namespace hxrate::tools {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// when it is ill-formed; `used` is then the length of its maximal subpart.
std::size_t sequenceLength(std::string_view text, std::size_t& used) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    used = 1;
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;  // a continuation byte, C0, C1 or F5..FF
    }
    for (; used < length && used < text.size(); ++used) {
        unsigned char b = byte(used);
        if (used == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return used == length ? length : 0;
}

template <typename Append>
std::string transcribe(std::string_view in, std::string_view replacement, Append append) {
    std::string out;
    out.reserve(in.size());
    while (!in.empty()) {
        std::size_t used = 0;
        std::size_t length = sequenceLength(in, used);
        if (length == 0) {
            out += replacement;
            in.remove_prefix(used);
        } else {
            append(out, in.substr(0, length));
            in.remove_prefix(length);
        }
    }
    return out;
}

}  // namespace

std::string validUtf8(std::string_view text, std::string_view replacement) {
    return transcribe(text, replacement,
                      [](std::string& out, std::string_view character) { out += character; });
}

std::string xmlEscape(std::string_view text) {
    return transcribe(text, "&#xFFFD;", [](std::string& out, std::string_view character) {
        switch (character[0]) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += character;
        }
    });
}

std::string escapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    escapeControls(text, [&out](std::string_view piece) { out += piece; });
    return out;
}

}  // namespace hxrate::tools
