#include "app/scopetimer.h"

#include <QString>
#include <cstdio>

ScopeTimer::ScopeTimer(const char *label) : label(label)
{
    timer.start();
}

ScopeTimer::~ScopeTimer()
{
    const QByteArray line =
        QString::asprintf("%s: %d msec\n", label, int(timer.elapsed())).toLocal8Bit();
    std::fputs(line.constData(), stderr);
}
