// tarnwell-cli: the Read EVO, Demux, Rebuild and Read XPL jobs on the command line.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_request.h"
#include "cli/cli_session.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
    using namespace tarnwell::cli;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ParsedCommandLine parsed;
    try {
        parsed = parseCommandLine(arguments);
    } catch (const UsageError& error) {
        std::fputs(usageErrorText(error).c_str(), stderr);
        return kExitUsage;
    }
    if (parsed.version) {
        std::fputs(versionText().c_str(), stdout);
        return kExitOk;
    }
    if (parsed.help) {
        std::fputs(usageText(), stdout);
        return kExitOk;
    }
    installInterruptHandler();
    // A reader of the log that goes away (`| head`) must not end a job before it has closed
    // its files; the lost log lines are all that is lost.
    ::signal(SIGPIPE, SIG_IGN);
    return runSession(parsed.request, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
}
