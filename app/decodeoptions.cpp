// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/decodeoptions.h"

#include "searchcore/searchoptions.h"

#include <cstring>

const char decodeUsage[] =
    "Usage: telvane-decode [OPTION...] [FILE...]\n"
    "Decodes the telegrams of communication logs, one output line per telegram line:\n"
    "  Line N data: DETAILS\n"
    "With no FILE, or when FILE is -, reads standard input. A FILE compressed with gzip,\n"
    "bzip2, xz or zstd is unpacked, and each log of a zip archive is read as ZIP/ENTRY.\n"
    "With several files or a zip, each log's text output follows a line \"==> FILE <==\".\n"
    "\n"
    "Output:\n"
    "  --format FORMAT  text (the default), jsonl (one JSON object per telegram line) or csv\n"
    "                   (a header row, then one row per telegram line, quoted as in RFC 4180);\n"
    "                   their fields: file, line, time, protocol, address, kind, direction,\n"
    "                   parameter, index, value, error, details, bytes\n"
    "  --context        a received raw-data line's details also show the data joined from\n"
    "                   the raw-data lines around it, as the viewer's details pane does\n"
    "  --safety-faults  print the safety-option fault summaries instead (Line N: SUMMARY)\n"
    "\n"
    "Search:\n"
    "  --find TEXT      print the lines that hold TEXT as the viewer's Find All lists them,\n"
    "                   one \"Line N: LINE\" per match\n"
    "  --mode MODE      text (the default), hex (the characters of TEXT as hex bytes) or\n"
    "                   param (a parameter id NUMBER or NUMBER.INDEX as telegram bytes)\n"
    "  --match-case     tell upper from lower case (text mode only)\n"
    "\n"
    "  -h, --help       show this help and exit\n"
    "\n"
    "Exit status: 0 when every file was decoded, 1 when a file could not be read or the\n"
    "output not written, 2 on bad usage. With --find: 0 when something was found, 1 when\n"
    "nothing was, 2 on an error.\n";

namespace
{
// "--name" or "--name=VALUE" for an option that takes a value; `at` moves past a separate value.
bool takeValue(const std::string &argument, const char *name, int argc, const char *const *argv,
               int *at, std::string *value, std::string *error, bool *matched)
{
    const size_t length = std::strlen(name);
    *matched = false;
    if (argument.compare(0, length, name) != 0)
        return true;
    if (argument.size() == length) {
        *matched = true;
        if (*at + 1 >= argc) {
            *error = "option " + argument + " needs a value";
            return false;
        }
        *value = argv[++*at];
        return true;
    }
    if (argument[length] != '=')
        return true;
    *matched = true;
    *value = argument.substr(length + 1);
    return true;
}

// Options that make no sense together, checked once all are read.
bool checkCombination(const DecodeOptions &options, bool modeGiven, std::string *error)
{
    if (!options.find && (modeGiven || options.matchCase)) {
        *error = "--mode and --match-case go with --find";
        return false;
    }
    const char *other = options.context                                 ? "--context"
                        : options.format != DecodeOptions::Format::Text ? "--format"
                                                                        : nullptr;
    if (options.find && (other || options.safetyFaults)) {
        *error =
            std::string("--find cannot be combined with ") + (other ? other : "--safety-faults");
        return false;
    }
    if (options.safetyFaults && other) {
        *error = std::string("--safety-faults cannot be combined with ") + other;
        return false;
    }
    return true;
}
} // namespace

bool parseDecodeOptions(int argc, const char *const *argv, DecodeOptions *options,
                        std::string *error)
{
    bool optionsEnded = false;
    bool modeGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            options->files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options->help = true;
            return true;
        }
        if (argument == "--safety-faults") {
            options->safetyFaults = true;
            continue;
        }
        if (argument == "--context") {
            options->context = true;
            continue;
        }
        if (argument == "--match-case") {
            options->matchCase = true;
            continue;
        }
        std::string value;
        bool matched = false;
        if (!takeValue(argument, "--format", argc, argv, &i, &value, error, &matched))
            return false;
        if (matched) {
            if (value == "text") {
                options->format = DecodeOptions::Format::Text;
            } else if (value == "jsonl") {
                options->format = DecodeOptions::Format::JsonLines;
            } else if (value == "csv") {
                options->format = DecodeOptions::Format::Csv;
            } else {
                *error = "unknown format " + value + " (text, jsonl or csv)";
                return false;
            }
            continue;
        }
        if (!takeValue(argument, "--mode", argc, argv, &i, &value, error, &matched))
            return false;
        if (matched) {
            modeGiven = true;
            if (value == "text") {
                options->findMode = DecodeOptions::FindMode::Text;
            } else if (value == "hex") {
                options->findMode = DecodeOptions::FindMode::Hex;
            } else if (value == "param") {
                options->findMode = DecodeOptions::FindMode::Param;
            } else {
                *error = "unknown search mode " + value + " (text, hex or param)";
                return false;
            }
            continue;
        }
        if (!takeValue(argument, "--find", argc, argv, &i, &value, error, &matched))
            return false;
        if (matched) {
            options->find = true;
            options->findText = QString::fromLocal8Bit(value.c_str());
            continue;
        }
        *error = "unknown option " + argument;
        return false;
    }
    if (!checkCombination(*options, modeGiven, error))
        return false;
    if (options->files.empty())
        options->files.push_back("-");
    return true;
}

int searchModeOf(const DecodeOptions &options)
{
    switch (options.findMode) {
    case DecodeOptions::FindMode::Hex:
        return BinaryData;
    case DecodeOptions::FindMode::Param:
        return ParameterId;
    case DecodeOptions::FindMode::Text:
        break;
    }
    return options.matchCase ? PlainTextMatchCase : PlainText;
}
