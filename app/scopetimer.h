#pragma once

#include <QElapsedTimer>

// Writes "label: N msec" to standard error when the scope it guards ends.
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
