// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

// Off unless switched on, e.g. QT_LOGGING_RULES="telvane.timing.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTiming)

// Reports "label: N msec" when the scope it guards ends: to the debugger on Windows, to the
// "telvane.timing" logging category elsewhere.
class ScopeTimer
{
public:
    explicit ScopeTimer(const char *label);
    ~ScopeTimer();

private:
    Q_DISABLE_COPY(ScopeTimer)

    const char *label; // not copied: callers pass string literals
    QElapsedTimer timer;
};
