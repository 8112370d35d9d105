// List-directed reading of the case file.
//
// The file is taken in two layers. ByteStream hands out raw bytes from a
// ByteSource (in chunks, so a file of any size streams through a small
// buffer) or from memory. FreeFormReader::Impl turns the bytes into logical
// characters -- a byte, one line end, or the end of the file -- keeps the
// line and column for diagnostics, and splits the characters into values.
// The values are converted only once the item that takes them is known, since
// a repeated value may reach items of different kinds.
#include "format/free_form_reader.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cstring>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "core/failures.h"
#include "format/number_conversion.h"
#include "hxrate/case.h"

namespace hxrate {

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
// Longest value token kept in memory: far beyond any real case value, yet it
// lets a number written with a million digits be read.
constexpr std::size_t kMaxValueLength = 16 * 1024 * 1024;
constexpr std::size_t kShownTextLength = 60;
constexpr std::int64_t kMaxRepeatCount = 2147483647;

// Logical characters besides the bytes 0..255.
constexpr int kLineEnd = 256;
constexpr int kEndOfFile = -1;

bool isBlank(int c) {
    return c == ' ' || c == '\t';
}
bool isQuote(int c) {
    return c == '\'' || c == '"';
}
bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
bool endsUndelimitedValue(int c) {
    return isBlank(c) || c == ',' || c == '/' || c == kLineEnd || c == kEndOfFile;
}

// Raw bytes of the case file, from a source or from memory.
class ByteStream {
  public:
    explicit ByteStream(std::unique_ptr<ByteSource> source)
        : source_(std::move(source)), buffer_(kChunkSize), keeping_(true) {}
    explicit ByteStream(std::string_view bytes) : window_(bytes), inMemory_(bytes) {}

    // The next byte (0..255), or kEndOfFile.
    int peek() {
        if (window_.empty() && !refill()) return kEndOfFile;
        return static_cast<unsigned char>(window_.front());
    }
    void advance() {
        if (!window_.empty()) window_.remove_prefix(1);
    }

    // Passes over the bytes before the next CR or LF (or the end of the file)
    // and returns how many there were.
    std::uint64_t skipToLineEnd() {
        std::uint64_t skipped = 0;
        while (!window_.empty() || refill()) {
            const std::size_t n = window_.find_first_of("\r\n");
            if (n != std::string_view::npos) {
                window_.remove_prefix(n);
                return skipped + n;
            }
            skipped += window_.size();
            window_ = {};
        }
        return skipped;
    }

    // Passes over everything up to and including the next LF.
    void skipThroughLineFeed() {
        while (!window_.empty() || refill()) {
            const std::size_t n = window_.find('\n');
            if (n != std::string_view::npos) {
                window_.remove_prefix(n + 1);
                return;
            }
            window_ = {};
        }
    }

    // The errno of a failed read of the source, 0 when none failed.
    int readError() const { return readError_; }

    // What was read so far (all bytes in memory), up to maxKeptCaseText.
    std::optional<std::string_view> bytesRead() const {
        if (!keeping_) {
            if (inMemory_.size() > maxKeptCaseText) return std::nullopt;
            return inMemory_;
        }
        if (keptTooLong_) return std::nullopt;
        return std::string_view(kept_);
    }

    void close() {
        source_.reset();
        window_ = {};
    }

  private:
    bool refill() {
        if (!source_ || readError_ != 0) return false;
        const std::size_t got =
            std::min(source_->read(buffer_.data(), buffer_.size()), buffer_.size());
        if (got > 0) {
            window_ = std::string_view(buffer_.data(), got);
            // A copy for the case to keep, dropped once it is too long to keep.
            if (keeping_ && !keptTooLong_) {
                if (kept_.size() + got > maxKeptCaseText) {
                    keptTooLong_ = true;
                    std::string().swap(kept_);
                } else {
                    kept_.append(window_);
                }
            }
            return true;
        }
        readError_ = source_->failure();
        return false;
    }

    std::unique_ptr<ByteSource> source_;
    std::vector<char> buffer_;
    std::string_view window_;  // bytes not yet taken
    int readError_ = 0;
    std::string_view inMemory_;  // all the bytes, when they are in memory
    bool keeping_ = false;       // the bytes come from the source: kept_ copies them
    bool keptTooLong_ = false;
    std::string kept_;
};

struct Position {
    std::uint64_t line = 1;
    std::uint64_t column = 1;
};

// One value as written in the file.
struct Token {
    enum class Kind { value, null, slash };
    Kind kind = Kind::value;
    bool delimited = false;
    char delimiter = '\0';
    bool countWritten = false;     // an asterisk followed the first characters
    std::string countText;         // what stood before the asterisk
    std::int64_t repeatCount = 0;  // 0 when the value is not repeated
    std::string text;              // the characters of the value itself
    Position start;
};

// The token roughly as it stood in the file, with non-printable bytes
// escaped and long texts cut, for a diagnostic.
std::string shownText(const Token& token) {
    std::string raw;
    auto append = [&raw](std::string_view part) {
        const std::size_t room = kShownTextLength + 1 - std::min(raw.size(), kShownTextLength + 1);
        raw.append(part.substr(0, room));
    };
    if (token.countWritten) {
        append(token.countText);
        append("*");
    }
    const std::string_view delimiter(&token.delimiter, token.delimited ? 1 : 0);
    append(delimiter);
    append(token.text);
    append(delimiter);

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t i = 0; i < raw.size() && i < kShownTextLength; ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        if (c == '"' || c == '\\') {
            shown += '\\';
            shown += static_cast<char>(c);
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 0x0F];
        }
    }
    if (raw.size() > kShownTextLength) shown += "...";
    return shown;
}

}  // namespace

struct FreeFormReader::Impl {
    Impl(std::string name, std::unique_ptr<ByteSource> bytes)
        : fileName(std::move(name)), source(std::move(bytes)) {}
    Impl(std::string name, std::string_view bytes) : fileName(std::move(name)), source(bytes) {}

    // What one read keeps from one value to the next.
    struct ReadState {
        // A comma met now still belongs to the separator that ended the last
        // value (which was a blank, a tab or a line end).
        bool separatorOpen = false;
        bool endedAtLineEnd = false;
        bool slashPending = false;  // the last value was ended by a slash
        std::int64_t repeatLeft = 0;
        Token repeated;
    };

    // The read in progress, for diagnostics.
    int caseLine = 0;
    ReadSpan span;
    std::span<const ReadItem> items;
    std::size_t itemIndex = 0;

    std::string fileName;
    ByteStream source;
    Position position;          // of the next logical character
    bool lineHasChars = false;  // a byte of the current line has been taken

    void read(int line, std::span<const ReadItem> readItems);

    // --- logical characters -------------------------------------------

    // The next logical character: a byte, kLineEnd or kEndOfFile. A last
    // line without a line feed still ends with kLineEnd.
    int peek() {
        const int b = source.peek();
        if (b == '\n' || b == '\r') return kLineEnd;
        if (b == kEndOfFile) {
            if (source.readError() != 0) failUnreadable();
            return lineHasChars ? kLineEnd : kEndOfFile;
        }
        return b;
    }

    // Takes the character that peek() shows. A CR takes with it the rest of
    // its line through the next LF.
    void advance() {
        const int b = source.peek();
        if (b == '\n') {
            source.advance();
            startNextLine();
        } else if (b == '\r') {
            source.advance();
            source.skipThroughLineFeed();
            startNextLine();
        } else if (b == kEndOfFile) {
            if (lineHasChars) startNextLine();
        } else {
            source.advance();
            ++position.column;
            lineHasChars = true;
        }
    }

    void startNextLine() {
        ++position.line;
        position.column = 1;
        lineHasChars = false;
    }

    void skipRestOfLine() {
        const std::uint64_t skipped = source.skipToLineEnd();
        if (skipped > 0) {
            position.column += skipped;
            lineHasChars = true;
        }
        if (peek() != kEndOfFile) advance();
    }

    // --- values ---------------------------------------------------------

    Token takeToken(ReadState& state);
    void takeDelimited(Token& token);
    void collectUndelimited(Token& token, std::string& into, bool stopAtAsterisk);
    void endValue(ReadState& state);

    using StagedValue = std::variant<std::monostate, std::int32_t, double, std::string>;
    StagedValue convert(const Token& token, const ReadItem& item) const;

    // --- failures -------------------------------------------------------

    std::string itemName() const {
        return itemIndex < items.size() ? std::string(items[itemIndex].what) : std::string();
    }
    [[noreturn]] void fail(int code, const std::string& reason, const Position& at) const {
        throw InputError(code, reason, fileName, caseLine, at.line, at.column);
    }
    [[noreturn]] void failOnToken(int code, const std::string& reason, const Token& token) const {
        throw InputError(code, reason, fileName, caseLine, token.start.line, token.start.column,
                         shownText(token), true);
    }
    [[noreturn]] void failEndOfFile() const {
        const std::size_t missing = items.size() - itemIndex;
        std::string names;
        for (std::size_t i = itemIndex; i < items.size(); ++i) {
            if (!names.empty()) names += ", ";
            names += items[i].what;
        }
        fail(errorNumber::endOfFile,
             "end of file while case line " + std::to_string(caseLine) + " still needs " +
                 std::to_string(missing) + (missing == 1 ? " item (" : " items (") + names + ")",
             position);
    }
    [[noreturn]] void failUnreadable() const {
        fail(errorNumber::caseFileUnreadable,
             std::string("the case file could not be read (") + std::strerror(source.readError()) +
                 ")",
             position);
    }
    [[noreturn]] void failTooLong(const Token& token) const {
        failOnToken(errorNumber::valueTooLong,
                    "value longer than " + std::to_string(kMaxValueLength) + " characters (" +
                        itemName() + ")",
                    token);
    }
};

// Takes the separator that ended a value (or the character right after a
// closing delimiter, whatever it is).
void FreeFormReader::Impl::endValue(ReadState& state) {
    const int c = peek();
    state.endedAtLineEnd = c == kLineEnd;
    state.separatorOpen = c != ',';
    state.slashPending = c == '/';
    if (c != kEndOfFile) advance();
}

// Collects the characters of an undelimited value up to its separator (or,
// when asked, up to an asterisk).
void FreeFormReader::Impl::collectUndelimited(Token& token, std::string& into,
                                              bool stopAtAsterisk) {
    for (int c = peek(); !endsUndelimitedValue(c) && !(stopAtAsterisk && c == '*'); c = peek()) {
        if (token.countText.size() + token.text.size() >= kMaxValueLength) failTooLong(token);
        into += static_cast<char>(c);
        advance();
    }
}

// Collects a value between apostrophes or quotation marks: the delimiter
// written twice stands for itself, a line end inside is dropped.
void FreeFormReader::Impl::takeDelimited(Token& token) {
    token.delimited = true;
    token.delimiter = static_cast<char>(peek());
    advance();
    for (;;) {
        const int c = peek();
        if (c == kEndOfFile) {
            failOnToken(errorNumber::endOfFile,
                        "end of file inside a delimited text (" + itemName() + ")", token);
        }
        advance();
        if (c == kLineEnd) continue;
        if (c == token.delimiter) {
            if (peek() != token.delimiter) return;
            advance();
        }
        if (token.countText.size() + token.text.size() >= kMaxValueLength) failTooLong(token);
        token.text += static_cast<char>(c);
    }
}

// Takes the next value from the file: a value, a null value, or the slash
// that ends the read.
Token FreeFormReader::Impl::takeToken(ReadState& state) {
    Token token;
    for (;;) {
        int c = peek();
        while (isBlank(c) || c == kLineEnd) {
            advance();
            c = peek();
        }
        token.start = position;
        if (c == kEndOfFile) failEndOfFile();
        if (c == ',' && state.separatorOpen) {
            advance();  // the comma joins the separator that ended the last value
            state.separatorOpen = false;
            continue;
        }
        if (c == ',') {
            advance();
            token.kind = Token::Kind::null;
            state.endedAtLineEnd = false;
            return token;
        }
        if (c == '/') {
            advance();
            token.kind = Token::Kind::slash;
            state.endedAtLineEnd = false;
            return token;
        }
        break;
    }

    if (isQuote(peek())) {
        takeDelimited(token);
        endValue(state);
        return token;
    }

    collectUndelimited(token, token.text, true);
    if (peek() != '*') {
        endValue(state);
        return token;
    }

    // A repeat count: decimal digits, 1 to 2147483647.
    advance();
    token.countWritten = true;
    token.countText = std::move(token.text);
    token.text.clear();
    const std::string_view count = token.countText;
    const bool countValid = !count.empty() && std::all_of(count.begin(), count.end(), isDigit);
    if (countValid) {
        const std::size_t firstNonZero = count.find_first_not_of('0');
        const std::string_view significant = firstNonZero == std::string_view::npos
                                                 ? std::string_view()
                                                 : count.substr(firstNonZero);
        if (significant.size() <= 10) {
            std::from_chars(significant.data(), significant.data() + significant.size(),
                            token.repeatCount);
        }
    }
    if (token.repeatCount < 1 || token.repeatCount > kMaxRepeatCount) {
        token.repeatCount = 0;
        collectUndelimited(token, token.text, false);
        failOnToken(errorNumber::badRepeatCount,
                    "repeat count not a whole number from 1 to 2147483647 (" + itemName() + ")",
                    token);
    }

    if (isQuote(peek())) {
        takeDelimited(token);
    } else {
        collectUndelimited(token, token.text, true);
        if (peek() == '*') {
            collectUndelimited(token, token.text, false);
            failOnToken(errorNumber::badRepeatCount,
                        "second repeat count inside one value (" + itemName() + ")", token);
        }
        if (token.text.empty()) token.kind = Token::Kind::null;
    }
    endValue(state);
    return token;
}

FreeFormReader::Impl::StagedValue FreeFormReader::Impl::convert(const Token& token,
                                                                const ReadItem& item) const {
    const std::string what(item.what);
    if (std::holds_alternative<std::string*>(item.destination)) {
        std::string value = token.text.substr(0, 10);
        value.resize(10, ' ');
        return value;
    }

    const bool isInteger = std::holds_alternative<std::int32_t*>(item.destination);
    const std::string kind = isInteger ? "an integer item (" : "a double item (";
    if (token.delimited) {
        failOnToken(errorNumber::delimitedNumber, "delimited value for " + kind + what + ")",
                    token);
    }
    if (isInteger) {
        std::int32_t value = 0;
        switch (toInt32(token.text, value)) {
            case Conversion::ok:
                return value;
            case Conversion::malformed:
                failOnToken(errorNumber::malformedNumber,
                            "malformed number for " + kind + what + ")", token);
            default:
                failOnToken(errorNumber::numberOutOfRange,
                            "number outside the 32-bit range for " + kind + what + ")", token);
        }
    }
    double value = 0.0;
    switch (toDouble(token.text, value)) {
        case Conversion::ok:
            return value;
        case Conversion::malformed:
            failOnToken(errorNumber::malformedNumber, "malformed number for " + kind + what + ")",
                        token);
        case Conversion::tooLarge:
            failOnToken(errorNumber::numberOutOfRange, "number too large for " + kind + what + ")",
                        token);
        case Conversion::tooSmall:
        default:
            failOnToken(errorNumber::numberOutOfRange,
                        "non-zero number too small for " + kind + what + ")", token);
    }
}

void FreeFormReader::Impl::read(int line, std::span<const ReadItem> readItems) {
    caseLine = line;
    items = readItems;
    span.firstLine = position.line;

    // Values are staged and stored only when the whole read has succeeded.
    std::vector<StagedValue> staged(items.size());
    ReadState state;
    Token current;
    for (itemIndex = 0; itemIndex < items.size(); ++itemIndex) {
        const Token* value = &state.repeated;
        if (state.repeatLeft > 0) {
            --state.repeatLeft;
        } else {
            if (state.slashPending) break;
            current = takeToken(state);
            if (current.kind == Token::Kind::slash) break;
            if (current.repeatCount > 0) {
                state.repeated = std::move(current);
                state.repeatLeft = state.repeated.repeatCount - 1;
            } else {
                value = &current;
            }
        }
        if (value->kind == Token::Kind::value)
            staged[itemIndex] = convert(*value, items[itemIndex]);
    }
    // The next read starts on the line after the last value taken.
    span.lastLine = state.endedAtLineEnd ? position.line - 1 : position.line;
    span.endColumn = state.endedAtLineEnd ? 0 : position.column;
    if (!state.endedAtLineEnd) skipRestOfLine();

    for (std::size_t i = 0; i < items.size(); ++i) {
        std::visit(
            [&staged, i](auto* destination) {
                using Kind = std::remove_pointer_t<decltype(destination)>;
                auto* value = std::get_if<Kind>(&staged[i]);
                if (value != nullptr && destination != nullptr) *destination = std::move(*value);
            },
            items[i].destination);
    }
}

FreeFormReader::FreeFormReader(std::string fileName, std::unique_ptr<ByteSource> source)
    : impl_(new Impl(std::move(fileName), std::move(source))) {}

FreeFormReader::FreeFormReader(std::string fileName, std::string_view bytes)
    : impl_(new Impl(std::move(fileName), bytes)) {}

FreeFormReader::~FreeFormReader() {
    delete impl_;
}

void FreeFormReader::read(int caseLine, std::span<const ReadItem> items) {
    impl_->read(caseLine, items);
}

ReadSpan FreeFormReader::lastSpan() const {
    return impl_->span;
}

std::optional<std::string_view> FreeFormReader::textRead() const {
    return impl_->source.bytesRead();
}

void FreeFormReader::close() {
    impl_->source.close();
}

}  // namespace hxrate
