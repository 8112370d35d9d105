#include "command_line.h"

#include <hxrate/report.h>

#include <iostream>

namespace hxrate::tools {

void addVersionFlag(CLI::App& app) {
    app.set_version_flag("--version", std::string(hxrate::version()), "print the version and exit");
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << app.get_name() << ": " << e.what()
                  << "\nRun with --help for more information.\n";
        return usageErrorStatus;
    }
    return std::nullopt;
}

}  // namespace hxrate::tools
