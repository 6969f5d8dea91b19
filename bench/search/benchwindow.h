#pragma once

#include "app/applicationsettings.h"
#include "bench/benchsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
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
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"), path);
        window = std::make_unique<Telvane>(false);
        window->resize(1200, 900);
        window->show();
        QApplication::processEvents();
        std::printf("generated and opened %d lines in %lld ms\n", bench::bigLogLines,
                    timer.elapsed());
        if (!window->fieldById(0))
            return false;
        edit = window->fieldById(0)->textEdit();
        return true;
    }
};
