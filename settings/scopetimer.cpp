// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/scopetimer.h"

#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

Q_LOGGING_CATEGORY(lcTiming, "telvane.timing", QtWarningMsg)

ScopeTimer::ScopeTimer(const char *label) : label(label)
{
    timer.start();
}

ScopeTimer::~ScopeTimer()
{
#ifdef Q_OS_WIN
    const QByteArray line =
        QString::asprintf("%s: %d msec\n", label, int(timer.elapsed())).toLocal8Bit();
    OutputDebugStringA(line.constData());
#else
    qCDebug(lcTiming, "%s: %d msec", label, int(timer.elapsed()));
#endif
}
