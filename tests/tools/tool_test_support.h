// Helpers for the tools' tests: scratch folders, case folders, and running
// a program the way a user does.
#pragma once

#include <string>
#include <vector>

namespace hxrate::tools::testing {

inline constexpr const char* caseName = "48230007640350000606.txt";
inline constexpr const char* resultsName = "48230007650350000606.txt";
inline constexpr const char* logName = "Log file.txt";

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The folder of a sample case (tests/cases) or of the tools' own test data.
std::string sampleCase(const std::string& name);
std::string toolCase(const std::string& name);

// Copies the case file of `caseFolder` into a new folder `name` under
// `under`; returns the new folder.
std::string copyCase(const std::string& caseFolder, const std::string& under,
                     const std::string& name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> listFolder(const std::string& path);

struct ProgramRun {
    int exitStatus;  // -1 when it did not exit normally
    std::string standardOutput;
    std::string standardError;
};

// Runs `program` with `arguments` in the folder `workingFolder`, with no
// standard input and its output captured (not a terminal); or with standard
// output sent to `standardOutputPath` (such as /dev/full) when one is given.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::string& standardOutputPath = {});

// The same on a pseudo-terminal: standard output and error are the terminal.
ProgramRun runOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingFolder);

// The case file of `caseFolder` with case line 21 holding `factor`.
std::string withCorrectionFactor(const std::string& caseBytes, const std::string& factor);

}  // namespace hxrate::tools::testing
