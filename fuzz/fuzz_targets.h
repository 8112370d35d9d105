// The fuzz targets as plain functions: each libFuzzer binary calls one from
// its LLVMFuzzerTestOneInput, and the replay test feeds every kept input to
// all of them. A fault aborts the process after a line on standard error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hxrate::fuzz {

// The bytes as the case file of a whole run, kept in memory.
int caseFile(const std::uint8_t* data, std::size_t size);

// The bytes as a case file of any name through hxrate-report: the bytes
// after the first NUL are the file's name, those before it its text.
int report(const std::uint8_t* data, std::size_t size);

}  // namespace hxrate::fuzz
