// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <vector>

// What the arguments of telvane-decode ask for.
struct DecodeOptions {
    enum class Format { Text, JsonLines, Csv };
    enum class FindMode { Text, Hex, Param };

    bool help = false;
    bool safetyFaults = false;
    bool context = false;
    Format format = Format::Text;
    bool find = false;
    QString findText;
    FindMode findMode = FindMode::Text;
    bool matchCase = false;
    std::vector<std::string> files; // "-" for standard input; never empty after parsing
};

// The help text of --help.
extern const char decodeUsage[];

// Reads the arguments; false with `error` set (one line, no program name) on bad usage. Stops at
// --help, which wins over everything before it.
bool parseDecodeOptions(int argc, const char *const *argv, DecodeOptions *options,
                        std::string *error);

// The search mode of the viewer's search bar (a SearchMode) that the find options select.
int searchModeOf(const DecodeOptions &options);
