// telvane-decode: prints the decoded telegrams (or safety-option faults) of logs for scripts.
#include "telegram/logdecoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
const char usage[] =
    "Usage: telvane-decode [--safety-faults] [FILE...]\n"
    "Decodes the telegrams of communication logs, one output line per telegram line:\n"
    "  Line N data: DETAILS\n"
    "With no FILE, or when FILE is -, reads standard input.\n"
    "\n"
    "  --safety-faults  print the safety-option fault summaries instead (Line N: SUMMARY)\n"
    "  --help           show this help and exit\n";

bool decodeOne(const std::string &name, LogDecodeMode mode, bool withHeader)
{
    const bool standardInput = name == "-";
    const int fd = standardInput ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    struct stat status;
    if (ok && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        ok = false;
    }
    if (ok) {
        if (withHeader)
            std::printf("==> %s <==\n", name.c_str());
        ok = decodeLogFile(fd, mode, stdout);
    }
    const int error = errno;
    if (fd >= 0 && !standardInput)
        close(fd);
    if (!ok) {
        std::fflush(stdout);
        std::fprintf(stderr, "telvane-decode: cannot read %s: %s\n", name.c_str(),
                     std::strerror(error));
    }
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    LogDecodeMode mode = LogDecodeMode::Telegrams;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--safety-faults") {
            mode = LogDecodeMode::SafetyFaults;
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "telvane-decode: unknown option %s\n", argument.c_str());
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (files.empty())
        files.push_back("-");
    bool allRead = true;
    for (const std::string &file : files)
        allRead = decodeOne(file, mode, files.size() > 1) && allRead;
    return std::fflush(stdout) == 0 && allRead ? 0 : 1;
}
