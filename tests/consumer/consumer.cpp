// Rates a case file through the installed engine alone (hxrate::hxrate) and
// prints the results file's bytes, as the program would write them. The
// consumer reads the file itself; the case goes through its case document on
// the way, so the installed library's JSON code is linked and must give the
// case back exactly.
#include <hxrate/hxrate.h>

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: consumer CASE_FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "consumer: cannot open " << argv[1] << '\n';
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        hxrate::Case c = hxrate::parseCase(text.str(), argv[1]);
        c = hxrate::parseCaseDocument(hxrate::caseDocumentJson(c)).input;
        std::cout << hxrate::resultsReportText(c, hxrate::rate(c));
    } catch (const hxrate::Error& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
