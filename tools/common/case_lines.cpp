#include "case_lines.h"

#include <hxrate/errors.h>

#include <string>

namespace hxrate::tools {
namespace {

// The text up to the end of physical line `line` (from 1), counting line
// ends as the case reader does: a LF ends a line, and a CR ends one and
// takes the rest of its line through the next LF with it.
std::string_view throughLine(std::string_view text, std::uint64_t line) {
    std::size_t at = 0;
    for (std::uint64_t counted = 0; counted < line && at < text.size();) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) return text;
        if (text[end] == '\r') end = text.find('\n', end);
        if (end == std::string_view::npos) return text;
        at = end + 1;
        ++counted;
    }
    return text.substr(0, at);
}

}  // namespace

std::optional<Case> leadingCaseLines(std::string_view text, int lines) {
    CaseSource source{};
    try {
        return parseCase(text, "case", source);
    } catch (const InputError& e) {
        if (e.caseLine() <= lines) return std::nullopt;
    }
    // Lines 1..`lines` were read: keep them and let every later case line
    // be a label whose values a slash leaves unset.
    std::string kept(throughLine(text, source[static_cast<std::size_t>(lines - 1)].lastLine));
    if (!kept.empty() && kept.back() != '\n') kept += '\n';  // a last CR takes the LF
    for (int line = lines + 1; line <= caseLineCount; ++line) kept += "0 /\n";
    try {
        return parseCase(kept, "case");
    } catch (const InputError&) {
        return std::nullopt;
    }
}

}  // namespace hxrate::tools
