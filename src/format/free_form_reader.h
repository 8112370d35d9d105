// List-directed ("free-form") reading of the case file: each read takes the
// values of a list of items from the file, starting on a fresh line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

// Where the reader's bytes come from when they are not in memory: a file
// opened by the program, read in pieces of any size. Destroying the source
// releases what it holds.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Copies the next bytes, at most `capacity`, to `buffer` and returns how
    // many; 0 at the end of the bytes, or when they could not be read, as
    // failure() then tells.
    virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
    // Why the bytes could not be read, as an errno value; 0 while they can.
    virtual int failure() const = 0;
};

class FreeFormReader {
  public:
    // Reads the bytes of `source`, in chunks of 64 KiB.
    FreeFormReader(std::string fileName, std::unique_ptr<ByteSource> source);
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

    // The bytes read so far (all of those in memory), for a case to keep its
    // text; nothing once they exceed maxKeptCaseText (hxrate/case.h).
    std::optional<std::string_view> textRead() const;

    // Releases the file; no further reads.
    void close();

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace hxrate
