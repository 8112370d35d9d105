// List-directed ("free-form") reading of the case file: each read takes the
// values of a list of items from the file, starting on a fresh line.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace hxrate {

// Where one item's value goes; the alternative is the item's kind:
// a 32-bit integer, a double, or a ten-character text.
using ItemDestination = std::variant<std::int32_t*, double*, std::string*>;

struct ReadItem {
    ItemDestination destination;
    std::string_view what;  // e.g. "tube inner diameter", for diagnostics
};

// Where the last read stood in the file.
struct ReadSpan {
    std::uint64_t firstLine = 0;  // where the read started
    std::uint64_t lastLine = 0;   // where its last value was taken
    std::uint64_t endColumn = 0;  // just after that value's separator; 0: it ended the line
};

class FreeFormReader {
  public:
    // Reads the bytes of an open file descriptor, which the reader owns.
    FreeFormReader(std::string fileName, int fd);
    // Reads bytes held in memory (tests, fuzzing); the bytes must outlive it.
    FreeFormReader(std::string fileName, std::string_view bytes);
    FreeFormReader(const FreeFormReader&) = delete;
    FreeFormReader& operator=(const FreeFormReader&) = delete;
    ~FreeFormReader();

    // One read: gives each item its value from the file, leaves it unchanged
    // for a null value or after a slash, then moves to the next line.
    // caseLine (1..21) only names the read in diagnostics.
    // Throws InputError on an early end of file or an unreadable value.
    void read(int caseLine, std::span<const ReadItem> items);

    ReadSpan lastSpan() const;

    // Releases the file; no further reads.
    void close();

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace hxrate
