// SPDX-License-Identifier: GPL-3.0-or-later
// telvane-history-screenshot: renders the parameter history window over a generated log into a
// PNG, offscreen. Usage: telvane-history-screenshot OUT.png
#include "history/parameterhistorywindow.h"
#include "tools/loggenerator.h"

#include <QApplication>
#include <QEventLoop>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: telvane-history-screenshot OUT.png\n", stderr);
        return 2;
    }
    const QStringList lines = QString::fromUtf8(generatedLog(400000, 7)).split(QLatin1Char('\n'));
    ParameterHistoryWindow window(1000, QStringLiteral("generated.log"));
    window.resize(1400, 860);
    window.show();
    QEventLoop loop;
    QObject::connect(&window, &ParameterHistoryWindow::scanFinished, &loop, &QEventLoop::quit);
    window.scan([&lines](qint64 first, qint64 count) { return lines.mid(int(first), int(count)); },
                lines.size());
    loop.exec();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "telvane-history-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
