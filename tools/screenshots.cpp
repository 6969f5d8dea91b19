// SPDX-License-Identifier: GPL-3.0-or-later
// telvane-screenshots: drives the main window over the sample logs and saves the README's
// pictures. Settings and the log folder live in a throwaway folder, never the user's own.
#include "logview/logviewcontroller.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/logviewwidget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QTextBlock>
#include <cstdio>
#include <memory>
#include <utility>

namespace
{
const QSize windowSize(1800, 950);
// Narrower than the default strip, so that the two panels show some of each line's text.
const int stripWidth = 350;

// The strip repaints through a queued request; give it and the layouts time to settle.
void settle()
{
    QTest::qWait(500);
}

bool fail(const QString &message)
{
    std::fprintf(stderr, "telvane-screenshots: %s\n", qPrintable(message));
    return false;
}

bool grabTo(QWidget &window, const QString &path)
{
    settle();
    if (!window.grab().save(path, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(path));
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Puts the cursor on a 1-based line with the view scrolled to the top, as a click there would.
bool selectLine(QWidget &panel, int line)
{
    auto *edit = panel.findChild<QPlainTextEdit *>(QStringLiteral("fileContents"));
    if (!edit || line > edit->document()->blockCount())
        return fail(QStringLiteral("no line %1 to select").arg(line));
    edit->verticalScrollBar()->setValue(0);
    edit->setTextCursor(QTextCursor(edit->document()->findBlockByNumber(line - 1)));
    return true;
}

std::unique_ptr<Telvane> showWindow(bool safetyFaultMode)
{
    auto window = std::make_unique<Telvane>(safetyFaultMode);
    window->resize(windowSize);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        fail(QStringLiteral("the window was not shown"));
        return nullptr;
    }
    return window;
}

// What `make run` shows on a machine where the viewer has no settings yet: the session that
// first-session.sh writes, in a window of the size the viewer chooses itself.
bool firstStartWindow(const QString &root, const QString &out)
{
    QProcess script;
    script.start(root + QStringLiteral("/scripts/first-session.sh"), QStringList());
    if (!script.waitForFinished(30000) || script.exitStatus() != QProcess::NormalExit ||
        script.exitCode() != 0)
        return fail(QStringLiteral("first-session.sh failed: %1")
                        .arg(QString::fromLocal8Bit(script.readAllStandardError())));
    auto window = std::make_unique<Telvane>(false);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return fail(QStringLiteral("the window was not shown"));
    if (window->panels().size() < 2)
        return fail(QStringLiteral("the first session did not open the sample logs"));
    const bool saved = grabTo(*window, out + QStringLiteral("/first-start.png"));
    window->close();
    return saved;
}

bool logWindow(const QString &logFolder, const QString &out)
{
    const QStringList logs{logFolder + QStringLiteral("serial-session.log"),
                           logFolder + QStringLiteral("dpv1-session.log")};
    {
        QSettings settings(QStringLiteral("Velmora Drives"), QCoreApplication::applicationName());
        settings.setValue(QStringLiteral("FileNames"), logs.join(QLatin1Char(';')));
        settings.setValue(QStringLiteral("VisualizedAreaWidth"), stripWidth);
    }
    const std::unique_ptr<Telvane> window = showWindow(false);
    if (!window)
        return false;
    auto *panels = window->findChild<QSplitter *>(QStringLiteral("fieldsHorizontalSplitter"));
    if (!panels || panels->count() != 2)
        return fail(QStringLiteral("the two sample logs did not open"));
    // Left: the joined three-line response to the first read; right: a response of 3 values.
    if (!selectLine(*panels->widget(0), 7) || !selectLine(*panels->widget(1), 6) ||
        !grabTo(*window, out + QStringLiteral("/main-window.png")))
        return false;

    auto *searchText = window->findChild<QLineEdit *>(QStringLiteral("lineEditSearchText"));
    auto *findAll = window->findChild<QPushButton *>(QStringLiteral("pushButtonFindAll"));
    if (!searchText || !findAll)
        return fail(QStringLiteral("no search bar"));
    QTest::keyClicks(searchText, QStringLiteral("Sent to COM3"));
    QTest::mouseClick(findAll, Qt::LeftButton);
    return grabTo(*window, out + QStringLiteral("/find-all.png"));
}

// Two generated logs of one session side by side, linked by time: F8 selects the left log's
// first error line and the right one follows; both show their error marks.
bool linkedWindow(const QString &logFolder, const QString &out)
{
    const QStringList logs{logFolder + QStringLiteral("bus-a.log"),
                           logFolder + QStringLiteral("bus-b.log")};
    if (!writeGeneratedLog(logs.at(0), 3000, 3) || !writeGeneratedLog(logs.at(1), 3000, 5))
        return fail(QStringLiteral("cannot write the generated logs"));
    {
        QSettings settings(QStringLiteral("Velmora Drives"), QCoreApplication::applicationName());
        settings.setValue(QStringLiteral("FileNames"), logs.join(QLatin1Char(';')));
        settings.setValue(QStringLiteral("LinkPanelsByTime"), true);
    }
    const std::unique_ptr<Telvane> window = showWindow(false);
    if (!window || window->panels().size() != 2)
        return fail(QStringLiteral("the two generated logs did not open"));
    Field *left = window->panels().at(0);
    settle();
    for (int i = 0; i < 3; ++i)
        left->nextErrorAction()->trigger();
    left->view()->widget()->setFocus();
    return grabTo(*window, out + QStringLiteral("/linked-panels.png"));
}

bool faultWindow(const QString &samples, const QString &out)
{
    const std::unique_ptr<Telvane> window = showWindow(true);
    if (!window)
        return false;
    auto *panel = window->findChild<Field *>();
    if (!panel || !panel->openFile(samples + QStringLiteral("/safety-faults.log")))
        return fail(QStringLiteral("cannot open %1/safety-faults.log").arg(samples));
    return selectLine(*panel, 3) && grabTo(*window, out + QStringLiteral("/safety-faults.png"));
}

// A folder of fixed name under the temp folder, emptied on the way in and removed on the way
// out. The panels show its path, so a fixed one keeps the pictures the same from run to run.
struct Sandbox {
    Sandbox() { QDir(path).removeRecursively(); }
    ~Sandbox() { QDir(path).removeRecursively(); }
    const QString path = QDir::tempPath() + QStringLiteral("/telvane-screenshots");
};

bool copySamples(const QString &samples, const QString &logFolder)
{
    if (!QDir().mkpath(logFolder))
        return fail(QStringLiteral("cannot make %1").arg(logFolder));
    const QStringList names = QDir(samples).entryList(QDir::Files, QDir::Name);
    if (names.isEmpty())
        return fail(QStringLiteral("no sample logs in %1").arg(samples));
    for (const QString &name : names) {
        QFile::remove(logFolder + name);
        if (!QFile::copy(samples + QLatin1Char('/') + name, logFolder + name))
            return fail(QStringLiteral("cannot copy %1").arg(name));
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("Usage: telvane-screenshots SAMPLES_FOLDER OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    // Before anything reads them: settings, home and temp folder all inside the sandbox.
    const Sandbox sandbox;
    const std::pair<const char *, const char *> folders[] = {
        {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto &[variable, name] : folders) {
        const QString folder = sandbox.path + QLatin1Char('/') + QLatin1String(name);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, QFile::encodeName(folder));
    }
    qputenv("TMPDIR", QFile::encodeName(sandbox.path));

    QApplication application(argc, argv);
    // The viewer's own settings file, which first-session.sh writes for the first start.
    QCoreApplication::setApplicationName(QStringLiteral("telvane"));
    // A steady caret: with blinking the pictures would differ from run to run.
    QApplication::setCursorFlashTime(0);
    const QString samples = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    if (!QDir().mkpath(out)) {
        fail(QStringLiteral("cannot make %1").arg(out));
        return 1;
    }

    const QString logFolder = Field::logFolder();
    const QString root = QFileInfo(samples).absolutePath();
    const bool ok = firstStartWindow(root, out) && copySamples(samples, logFolder) &&
                    logWindow(logFolder, out) && linkedWindow(logFolder, out) &&
                    faultWindow(samples, out);
    return ok ? 0 : 1;
}
