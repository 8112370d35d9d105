#include "tool_test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hxrate::tools::testing {
namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "hxrate-tools-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string sampleCase(const std::string& name) {
    return std::string(HXRATE_CASES_DIR) + "/" + name;
}
std::string toolCase(const std::string& name) {
    return std::string(HXRATE_TOOLS_DATA_DIR) + "/" + name;
}

std::string copyCase(const std::string& caseFolder, const std::string& under,
                     const std::string& name) {
    std::string folder = under + "/" + name;
    fs::create_directories(folder);
    fs::copy_file(caseFolder + "/" + caseName, folder + "/" + caseName);
    return folder;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool exists(const std::string& path) {
    return fs::exists(path);
}

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::vector<char*> argumentVector(const std::string& program,
                                  const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int exitStatusOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::string& standardOutputPath) {
    ScratchFolder capture;
    std::string outPath = standardOutputPath.empty() ? capture / "stdout" : standardOutputPath;
    std::string errPath = capture / "stderr";
    std::vector<char*> argv = argumentVector(program, arguments);
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || chdir(workingFolder.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = exitStatusOf(pid);
    return {status, standardOutputPath.empty() ? readFile(outPath) : std::string(),
            readFile(errPath)};
}

ProgramRun runOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingFolder) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no terminal");
    std::string terminalName = ptsname(master);
    std::vector<char*> argv = argumentVector(program, arguments);
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int terminal = open(terminalName.c_str(), O_RDWR);
        int in = open("/dev/null", O_RDONLY);
        if (terminal < 0 || in < 0 || chdir(workingFolder.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(terminal, 1);
        dup2(terminal, 2);
        close(master);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    // Reading ends with an error once the program has closed the terminal.
    std::string output = readAll(master);
    close(master);
    return {exitStatusOf(pid), output, {}};
}

std::string withCorrectionFactor(const std::string& caseBytes, const std::string& factor) {
    std::size_t line = caseBytes.rfind("\n21 ");
    if (line == std::string::npos) throw std::runtime_error("no case line 21");
    std::size_t end = caseBytes.find('\n', line + 1);
    std::string tail = end == std::string::npos ? "\n" : caseBytes.substr(end);
    return caseBytes.substr(0, line) + "\n21 " + factor + tail;
}

}  // namespace hxrate::tools::testing
