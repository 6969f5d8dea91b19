// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/applicationsettings.h"
#include "bench/benchsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtWidgets>
#include <memory>

// The main window with one panel showing the generated big log; settings stay in the test
// location, the log in a temporary folder.
struct BigLogWindow {
    QTemporaryDir dir;
    std::unique_ptr<Telvane> window;
    VisualizedTextEdit *edit = nullptr;

    bool open()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString path = dir.filePath(QStringLiteral("generated.log"));
        QElapsedTimer timer;
        timer.start();
        if (!bench::writeLog(path, bench::bigLogLines, 1))
            return false;
        // The panel would open a log this size in its large-log view; these benchmarks measure
        // the ordinary view, so the text goes into it directly.
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"), QString());
        window = std::make_unique<Telvane>(false);
        window->resize(1200, 900);
        window->show();
        QFile file(path);
        if (!window->fieldById(0) || !file.open(QIODevice::ReadOnly | QIODevice::Text))
            return false;
        window->fieldById(0)->textEdit()->setLogText(path, QTextStream(&file).readAll());
        QApplication::processEvents();
        std::printf("generated and opened %d lines in %lld ms\n", bench::bigLogLines,
                    timer.elapsed());
        if (!window->fieldById(0))
            return false;
        edit = window->fieldById(0)->textEdit();
        return true;
    }
};
