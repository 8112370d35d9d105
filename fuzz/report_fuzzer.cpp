// Fuzz target: arbitrary bytes as a case file of any name through
// hxrate-report's path: parseCase, rate, the report's analysis, its JSON and
// its page. The bytes after the first NUL are the file's name (none: the
// program's case file name), those before it the case text. Whatever the
// bytes, the report is either refused with a library error or written as
// valid UTF-8, the JSON parses back, and no markup from the case reaches the
// page unescaped. Anything else aborts after a line on standard error.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "analysis.h"
#include "fuzz_targets.h"
#include "hxrate/files.h"
#include "hxrate/hxrate.h"
#include "report_html.h"
#include "report_json.h"

namespace {

using namespace hxrate;

// Grid and pass caps of the screening rating, so that one input stays within
// the fuzzer's time and memory limits (the report itself rates with the
// library's defaults).
constexpr RateOptions screening{.passLimit = 200, .storageLimitBytes = 64 * 1024};

[[noreturn]] void fault(std::string_view what, std::string_view detail = {}) {
    std::fprintf(stderr, "report_fuzzer: %.*s%s%.*s\n", static_cast<int>(what.size()), what.data(),
                 detail.empty() ? "" : ": ", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// Whether the text is well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        unsigned lo = 0x80, hi = 0xBF;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + extra >= s.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
        }
        i += extra + 1;
    }
    return true;
}

bool containsIgnoringCase(std::string_view text, std::string_view lowerNeedle) {
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerNeedle.size()) {
            char c = text[i + k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != lowerNeedle[k]) break;
            ++k;
        }
        if (k == lowerNeedle.size()) return true;
    }
    return false;
}

}  // namespace

int hxrate::fuzz::report(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = bytes.find('\0');
    const std::string_view text = bytes.substr(0, nul);
    const std::string path = nul == std::string_view::npos ? std::string(caseFileName)
                                                           : std::string(bytes.substr(nul + 1));

    // Screening: cases too large or too slow for fuzzing are left out.
    try {
        CaseSource source;
        Case c = parseCase(text, path, source);
        rate(c, screening);
    } catch (const ResourceError&) {
        return 0;
    } catch (const Error&) {
        // Rejections and failures go on to the report, which says them.
    } catch (const std::exception& e) {
        fault("exception escaped parseCase or rate", e.what());
    }

    report::Report rep;
    try {
        std::string name;
        try {
            name = std::filesystem::path(path).stem().string();
        } catch (const std::exception&) {
            name = path;
        }
        rep = report::buildReport(text, path, name);
    } catch (const Error&) {
        return 0;  // an input, arithmetic or resource error: the tool says it
    } catch (const std::exception& e) {
        fault("exception escaped buildReport", e.what());
    }

    std::string json, html;
    try {
        json = report::reportJson(rep).dump(2);
    } catch (const std::exception& e) {
        fault("the JSON writer threw", e.what());
    }
    if (!validUtf8(json)) fault("JSON that is not UTF-8");
    if (!nlohmann::json::accept(json)) fault("JSON that does not parse back");
    try {
        html = report::reportHtml(rep);
    } catch (const std::exception& e) {
        fault("the page writer threw", e.what());
    }
    if (!validUtf8(html)) fault("a page that is not UTF-8");
    if (containsIgnoringCase(html, "<script")) fault("markup from the case reached the page");
    return 0;
}

#ifdef HXRATE_LIBFUZZER_ENTRY
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return hxrate::fuzz::report(data, size);
}
#endif
