// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <QString>

CommandLine readCommandLine(int argc, const char *const *argv)
{
    CommandLine commandLine;
    // Any argument at all selects the fault view; none is ever opened as a file.
    commandLine.safetyFaultMode = argc > 1;
    if (argc > 1 &&
        QString::fromLocal8Bit(argv[1]).compare(QLatin1String("Deutsch"), Qt::CaseInsensitive) == 0)
        commandLine.language = German;
    return commandLine;
}
