// telvane-decode: prints the decoded telegrams (or safety-option faults) of logs for scripts.
#include "telegram/logdecoder.h"

#include <cerrno>
#include <csignal>
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

enum class Outcome { Decoded, NotRead, OutputFailed };

// Reports a failed write of standard output; nothing after it can be written.
int outputFailed(int error)
{
    std::fprintf(stderr, "telvane-decode: cannot write output: %s\n", std::strerror(error));
    return 1;
}

Outcome decodeOne(const std::string &name, LogDecodeMode mode, bool withHeader)
{
    const bool standardInput = name == "-";
    const int fd = standardInput ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    LogFileResult result = fd >= 0 ? LogFileResult::Decoded : LogFileResult::ReadFailed;
    struct stat status;
    if (fd >= 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        result = LogFileResult::ReadFailed;
    }
    if (result == LogFileResult::Decoded) {
        if (withHeader && std::printf("==> %s <==\n", name.c_str()) < 0)
            result = LogFileResult::WriteFailed;
        else
            result = decodeLogFile(fd, mode, stdout);
    }
    const int error = errno;
    if (fd >= 0 && !standardInput)
        close(fd);
    if (result == LogFileResult::WriteFailed) {
        outputFailed(error);
        return Outcome::OutputFailed;
    }
    if (result == LogFileResult::ReadFailed) {
        // The output so far goes first, so that the message follows the lines it interrupts.
        if (std::fflush(stdout) != 0) {
            outputFailed(errno);
            return Outcome::OutputFailed;
        }
        std::fprintf(stderr, "telvane-decode: cannot read %s: %s\n", name.c_str(),
                     std::strerror(error));
        return Outcome::NotRead;
    }
    return Outcome::Decoded;
}
} // namespace

int main(int argc, char *argv[])
{
    // A closed pipe then fails the write with EPIPE, which is reported, instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
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
            if (std::fputs(usage, stdout) < 0 || std::fflush(stdout) != 0)
                return outputFailed(errno);
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
    for (const std::string &file : files) {
        const Outcome outcome = decodeOne(file, mode, files.size() > 1);
        if (outcome == Outcome::OutputFailed)
            return 1;
        allRead = outcome == Outcome::Decoded && allRead;
    }
    if (std::fflush(stdout) != 0)
        return outputFailed(errno);
    return allRead ? 0 : 1;
}
