// hxrate: rates the single-pass shell-and-tube heat exchanger described by
// the case file in the working directory. Takes no arguments.
#include <iostream>

#include "cli/driver.h"

int main() {
    return hxrate::runInWorkingDirectory(std::cout, std::cerr);
}
