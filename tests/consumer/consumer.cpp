// Rates a case file through the installed engine alone (hxrate::hxrate) and
// prints the results file's bytes, as the program would write them; with
// --document first, prints the case document of the case instead. The
// consumer reads the file itself; the case goes through its case document on
// the way, so the installed library's JSON code is linked and must give the
// case back exactly. It also assesses the rating and rates the case with
// extensions, so that the engine's API links without hxrate::program.
#include <hxrate/hxrate.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    bool document = argc == 3 && std::string(argv[1]) == "--document";
    if (argc != 2 && !document) {
        std::cerr << "usage: consumer [--document] CASE_FILE\n";
        return 2;
    }
    const char* path = argv[argc - 1];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "consumer: cannot open " << path << '\n';
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    try {
        hxrate::CaseSource source;
        hxrate::Case c = hxrate::parseCase(text.str(), path, source);
        if (document) {
            std::cout << hxrate::caseDocumentJson(c);
            return 0;
        }
        c = hxrate::parseCaseDocument(hxrate::caseDocumentJson(c)).input;
        hxrate::Rating r = hxrate::rate(c);
        hxrate::Assessment a = hxrate::assess(c, r, {.text = text.str(), .source = source});
        hxrate::Extensions twoPasses;
        twoPasses.tubePasses = 2;
        hxrate::ExtendedRating extended = hxrate::rateExtended(c, twoPasses);
        if (!a.thermal.duty || !(extended.p1 > 0) || hxrate::version()[0] == '\0') {
            std::cerr << "consumer: the assessment or the extended rating formed nothing\n";
            return 1;
        }
        std::cout << hxrate::resultsReportText(c, r);
    } catch (const hxrate::Error& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
