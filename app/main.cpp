#include "app/commandline.h"
#include "app/textlanguage.h"
#include "ui/telvane.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

namespace
{
// Without any display Qt would abort with a platform-plugin message; say what to do instead.
bool displayAvailable(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    }
    return false;
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

    const CommandLine commandLine = readCommandLine(argc, argv);
    setTextLanguage(commandLine.language);

    Telvane window(commandLine.safetyFaultMode);
    window.show();
    return application.exec();
}
