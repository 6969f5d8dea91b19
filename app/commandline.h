// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/textlanguage.h"

// What the first command-line argument selects; Qt's own options are already removed.
struct CommandLine {
    bool safetyFaultMode = false;
    TextLanguage language = English;
};

CommandLine readCommandLine(int argc, const char *const *argv);
