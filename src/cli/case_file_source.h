// The case file on disk: opening it, and its descriptor as the bytes of the
// free-form reader. The engine reads bytes only; the files are the program's.
#pragma once

#include <string>
#include <utility>

#include "cli/text_output_file.h"
#include "format/free_form_reader.h"

namespace hxrate {

// Opens a case file for reading. Throws InputError when it is missing, is not
// a regular file or cannot be opened.
int openCaseFile(const std::string& name);
// The same for the file `fileName` in an open folder, named `name` in
// diagnostics; `extraFlags` are added to the open (O_NOFOLLOW).
int openCaseFileAt(int folder, const std::string& fileName, const std::string& name,
                   int extraFlags = 0);

// The bytes of an open file descriptor, which the source owns and closes.
// A read interrupted by a signal is repeated; any other failed read ends the
// bytes and is kept as failure().
class DescriptorSource final : public ByteSource {
  public:
    explicit DescriptorSource(UniqueFd fd) : fd_(std::move(fd)) {}
    std::size_t read(char* buffer, std::size_t capacity) override;
    int failure() const override { return failure_; }

  private:
    UniqueFd fd_;
    int failure_ = 0;
};

}  // namespace hxrate
