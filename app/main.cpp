// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"
#include "archive/unpackedlog.h"
#include "telegram/textlanguage.h"
#include "ui/telvane.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

namespace
{
// Without an X11 or Wayland display Qt would abort with a platform-plugin message; say what to
// do instead. Windows and macOS always have their own.
bool displayAvailable(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    }
    return false;
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}
} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable(argc, argv)) {
        std::fputs("telvane: no display found (DISPLAY is not set); run it on a desktop or under "
                   "a virtual display: xvfb-run -a build/bin/telvane\n",
                   stderr);
        return 1;
    }

    QApplication application(argc, argv);
    // Desktops match the window to the installed desktop entry (and its icon) by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Telvane"));
    Q_INIT_RESOURCE(appicon);
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/appicon/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    // What a run that ended without cleaning up (a crash, a kill) unpacked goes now.
    UnpackedLog::removeStale();

    const CommandLine commandLine = readCommandLine(argc, argv);
    Telvane window(commandLine.safetyFaultMode, commandLine.language);
    window.show();
    return application.exec();
}
