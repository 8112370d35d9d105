// Reads a case file and its case document from disk through the installed
// program library (hxrate::program, <hxrate/program.h>) and prints the
// results file's bytes of the case, after checking that both give the same
// case.
#include <hxrate/program.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: program_consumer CASE_FILE CASE_DOCUMENT\n";
        return 2;
    }
    try {
        hxrate::Case c = hxrate::readCase(argv[1]);
        if (!(hxrate::readCaseDocument(argv[2]).input == c)) {
            std::cerr << "program_consumer: the case document gives another case\n";
            return 1;
        }
        std::cout << hxrate::resultsReportText(c, hxrate::rate(c));
    } catch (const hxrate::Error& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
