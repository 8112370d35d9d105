// hxrate: rates the single-pass shell-and-tube heat exchanger described by
// the case file in the working directory. Takes no arguments but --help and
// --version.
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/driver.h"

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return hxrate::runProgram(arguments, std::cout, std::cerr);
}
