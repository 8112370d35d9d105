// Laid-out report lines: the layout notation and the lines it lays out; the
// number fields come from the exact decimal fields.

#include "format/layout.h"

#include <cstdint>
#include <stdexcept>

#include "format/decimal_fields.h"

namespace hxrate {

namespace {

// Recursive descent over the layout notation:
//   layout := '(' list ')'          anything after the closing ')' is ignored
//   list   := [ item { ',' item } ]
//   item   := n 'X' | [n] 'A' | [n] 'F' w '.' d | [n] 'ES' w '.' d
//           | "'" characters "'"    ('' inside stands for one apostrophe)
//           | [n] '(' list ')'
// Letters in either case; blanks between the parts are ignored.
class LayoutParser {
  public:
    explicit LayoutParser(std::string_view text) : text_(text) {}

    Layout parse() {
        Layout layout;
        skipBlanks();
        expect('(');
        parseList(layout.elements);
        return layout;
    }

  private:
    [[noreturn]] void fail(std::string_view what) const {
        throw std::logic_error("layout \"" + std::string(text_) + "\": " + std::string(what) +
                               " at position " + std::to_string(position_ + 1));
    }

    void skipBlanks() {
        while (position_ < text_.size() && text_[position_] == ' ') ++position_;
    }
    char peekUpper() const {
        if (position_ >= text_.size()) return '\0';
        const char c = text_[position_];
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    void expect(char wanted) {
        skipBlanks();
        if (peekUpper() != wanted) fail(std::string("expected '") + wanted + "'");
        ++position_;
    }

    // An unsigned number, or -1 when no digit follows.
    int readNumber() {
        skipBlanks();
        int number = -1;
        while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
            number = std::max(number, 0) * 10 + (text_[position_] - '0');
            if (number > kMaxLayoutNumber) fail("number too large");
            ++position_;
        }
        return number;
    }
    int requireNumber(int minimum) {
        const int number = readNumber();
        if (number < minimum) fail("missing or too small number");
        return number;
    }

    // Reads the list after an opening parenthesis, up to and including its
    // closing parenthesis.
    void parseList(std::vector<LayoutElement>& elements) {
        skipBlanks();
        if (peekUpper() == ')') {
            ++position_;
            return;
        }
        for (;;) {
            parseItem(elements);
            skipBlanks();
            const char separator = peekUpper();
            if (separator != ',' && separator != ')') fail("expected ',' or ')'");
            ++position_;
            if (separator == ')') return;
        }
    }

    void parseItem(std::vector<LayoutElement>& elements) {
        const int count = readNumber();
        if (count == 0) fail("count 0");
        const int repeat = count < 0 ? 1 : count;
        skipBlanks();
        switch (peekUpper()) {
            case 'X':
                if (count < 0) fail("X without a count");
                ++position_;
                elements.push_back({LayoutElement::Kind::skip, count, 0, 0, {}});
                return;
            case 'A':
                ++position_;
                elements.insert(elements.end(), static_cast<std::size_t>(repeat),
                                {LayoutElement::Kind::text, 0, 0, 0, {}});
                return;
            case 'F':
                ++position_;
                appendNumberField(elements, LayoutElement::Kind::fixed, repeat);
                return;
            case 'E':
                ++position_;
                expect('S');
                appendNumberField(elements, LayoutElement::Kind::scientific, repeat);
                return;
            case '\'':
                if (count >= 0) fail("count before a literal");
                elements.push_back({LayoutElement::Kind::literal, 0, 0, 0, readLiteral()});
                return;
            case '(': {
                ++position_;
                std::vector<LayoutElement> group;
                parseList(group);
                for (int i = 0; i < repeat; ++i)
                    elements.insert(elements.end(), group.begin(), group.end());
                return;
            }
            default:
                fail("unknown item");
        }
    }

    void appendNumberField(std::vector<LayoutElement>& elements, LayoutElement::Kind kind,
                           int repeat) {
        const int width = requireNumber(1);
        expect('.');
        const int decimals = requireNumber(0);
        elements.insert(elements.end(), static_cast<std::size_t>(repeat),
                        {kind, 0, width, decimals, {}});
    }

    std::string readLiteral() {
        ++position_;  // opening apostrophe
        std::string literal;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (c != '\'') {
                literal += c;
            } else if (position_ < text_.size() && text_[position_] == '\'') {
                literal += '\'';
                ++position_;
            } else {
                return literal;
            }
        }
        fail("unterminated literal");
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

const LayoutItem& nextItem(std::span<const LayoutItem> items, std::size_t& index) {
    if (index >= items.size()) throw std::logic_error("layout has more fields than items");
    return items[index++];
}

double numberItem(const LayoutItem& item) {
    const double* value = std::get_if<double>(&item);
    if (value == nullptr) throw std::logic_error("number field given a text item");
    return *value;
}

}  // namespace

Layout parseLayout(std::string_view layoutString) {
    return LayoutParser(layoutString).parse();
}

std::string layOutLine(const Layout& layout, std::span<const LayoutItem> items) {
    std::string line;
    line.reserve(80);
    // Blanks of skips are owed until something follows them, so a line never
    // ends in blanks from a skip.
    std::size_t pendingBlanks = 0;
    std::size_t itemIndex = 0;
    auto payBlanks = [&] {
        line.append(pendingBlanks, ' ');
        pendingBlanks = 0;
    };
    for (const LayoutElement& element : layout.elements) {
        switch (element.kind) {
            case LayoutElement::Kind::skip:
                pendingBlanks += static_cast<std::size_t>(element.count);
                break;
            case LayoutElement::Kind::literal:
                payBlanks();
                line += element.literal;
                break;
            case LayoutElement::Kind::text: {
                const auto* text = std::get_if<std::string_view>(&nextItem(items, itemIndex));
                if (text == nullptr) throw std::logic_error("text field given a number item");
                payBlanks();
                line += *text;
                break;
            }
            case LayoutElement::Kind::fixed: {
                const double value = numberItem(nextItem(items, itemIndex));
                payBlanks();
                appendFixed(line, value, element.width, element.decimals);
                break;
            }
            case LayoutElement::Kind::scientific: {
                const double value = numberItem(nextItem(items, itemIndex));
                payBlanks();
                appendScientific(line, value, element.width, element.decimals);
                break;
            }
        }
    }
    if (itemIndex != items.size()) throw std::logic_error("layout has fewer fields than items");
    return line;
}

}  // namespace hxrate
