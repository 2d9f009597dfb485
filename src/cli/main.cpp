// tarnwell-cli: the Read EVO, Demux, Rebuild and Read XPL jobs on the command line.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_request.h"
#include "cli/cli_session.h"
#include "cli/interrupt.h"
#include "engine/version.h"

int main(int argc, char** argv) {
    using namespace tarnwell::cli;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    ParsedCommandLine parsed;
    try {
        parsed = parseCommandLine(arguments);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tarnwell-cli: %s\n\n%s", error.what(), usageText());
        return kExitUsage;
    }
    if (parsed.help) {
        std::fputs(usageText(), stdout);
        return kExitOk;
    }
    if (parsed.version) {
        std::printf("tarnwell-cli %s\n", tarnwell::kVersion);
        return kExitOk;
    }
    installInterruptHandler();
    // A reader of the log that goes away (`| head`) must not end a job before it has closed
    // its files; the lost log lines are all that is lost.
    ::signal(SIGPIPE, SIG_IGN);
    return runSession(parsed.request, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
}
