// Rates a case file through the installed library and prints the results
// file's bytes, as the program would write them. The case goes through its
// case document on the way, so the installed library's JSON code is linked
// and must give the case back exactly.
#include <hxrate/hxrate.h>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: consumer CASE_FILE\n";
        return 2;
    }
    try {
        hxrate::Case c =
            hxrate::parseCaseDocument(hxrate::caseDocumentJson(hxrate::readCase(argv[1]))).input;
        std::cout << hxrate::resultsReportText(c, hxrate::rate(c));
    } catch (const hxrate::Error& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
