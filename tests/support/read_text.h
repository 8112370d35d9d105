// The whole content of a test's data file; throws when it cannot be read, so
// a missing file fails the test instead of feeding it an empty case.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) throw std::runtime_error("cannot read " + path);
    return bytes.str();
}
