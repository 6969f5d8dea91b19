#pragma once

// What the first command-line argument selects; Qt's own options are already removed.
struct CommandLine {
    bool safetyFaultMode = false;
    int language = 0; // a TextLanguage
};

CommandLine readCommandLine(int argc, const char *const *argv);
