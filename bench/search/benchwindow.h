#pragma once

#include "app/applicationsettings.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "ui/telvane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

// The main window with one panel showing a generated log of `lines` lines.
inline Telvane *openWindowWithGeneratedLog(const QTemporaryDir &dir, int lines)
{
    const QString path = dir.filePath(QStringLiteral("generated.log"));
    QElapsedTimer timer;
    timer.start();
    if (!writeGeneratedLog(path, lines, 1)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return nullptr;
    }
    ApplicationSettings::instance().setValue(QStringLiteral("FileNames"), path);
    auto *window = new Telvane(false);
    window->resize(1200, 900);
    window->show();
    QApplication::processEvents();
    std::printf("generated and opened %d lines in %lld ms\n", lines, timer.elapsed());
    return window;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

template <typename Function> double millisecondsOf(Function function)
{
    QElapsedTimer timer;
    timer.start();
    function();
    return timer.nsecsElapsed() / 1e6;
}
