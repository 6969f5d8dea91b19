// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "search/searchbar.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>
#include <sys/stat.h>

namespace
{
// A drag entering `target` and dropped there; whether each was accepted.
QPair<bool, bool> dragAndDrop(QWidget *target, const QMimeData &data, Qt::DropActions actions,
                              const QPoint &at = QPoint(5, 5))
{
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    // A dropped file is copied, never moved away from its source.
    const bool copied = drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    return {enter.isAccepted(), copied};
}
} // namespace

// Files dropped on the window, on its search text and on a panel's text.
class TestDrops : public QObject
{
    Q_OBJECT

    QTemporaryDir logs;
    const QMap<QString, QString> contents{{"first.log", "first\n"},
                                          {"second.log", "second\n"},
                                          {"a.log", "alpha\n"},
                                          {"b.log", "bravo\n"},
                                          {"", ""}};

    // Names separated by blanks as local files, "remote" as a web address.
    QList<QUrl> urls(const QString &names) const
    {
        QList<QUrl> urls;
        for (const QString &name : names.split(' ', Qt::SkipEmptyParts))
            urls << (name == "remote" ? QUrl("https://example.com/a.log")
                                      : QUrl::fromLocalFile(logs.filePath(name)));
        return urls;
    }

    // The window with first.log and second.log; the second panel is the one dropped on.
    std::unique_ptr<Telvane> openWindow(bool safetyFaultMode)
    {
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"),
                                                 logs.filePath("first.log") + QLatin1Char(';') +
                                                     logs.filePath("second.log"));
        return std::make_unique<Telvane>(safetyFaultMode);
    }

    QWidget *target(const Telvane &window, const QString &name) const
    {
        Field *field = window.panels().last();
        if (name == QLatin1String("search text"))
            return window.searchBar()->searchTextEdit();
        if (name == QLatin1String("log view"))
            return field->textEdit()->viewport();
        if (name == QLatin1String("details"))
            return field->findChild<QPlainTextEdit *>(QStringLiteral("selectedLineDetailsEdit"))
                ->viewport();
        return const_cast<Telvane *>(&window);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(logs.isValid());
        for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
            if (!it.key().isEmpty())
                QVERIFY(testsupport::writeFile(logs.filePath(it.key()), it.value().toUtf8()));
        }
        QVERIFY(QDir(logs.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(mkfifo(QFile::encodeName(logs.filePath("fifo")).constData(), 0600), 0);
    }

    void init() { ApplicationSettings::instance().clear(); }

    // Dropped and shown files are names separated by blanks.
    void drops_data()
    {
        QTest::addColumn<bool>("safetyFaultMode");
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<int>("actions");
        QTest::addColumn<QString>("panelFiles"); // afterwards, left to right
        const auto row = [](const char *name, bool faults, const char *on, const char *dropped,
                            const char *after, int actions = Qt::CopyAction | Qt::MoveAction) {
            QTest::newRow(name) << faults << on << dropped << actions << after;
        };
        const char *before = "first.log second.log";
        row("two files and a folder on the window", false, "window", "a.log folder b.log",
            "first.log second.log a.log b.log");
        row("only a folder on the window", false, "window", "folder", before);
        row("remote, missing and a FIFO", false, "window", "remote missing.log fifo", before);
        row("a file that may only be moved", false, "window", "a.log", before, Qt::MoveAction);
        row("a file on the search text", false, "search text", "a.log",
            "first.log second.log a.log", Qt::CopyAction);
        row("a file on a log view", false, "log view", "a.log", "first.log a.log");
        row("two files on a log view", false, "log view", "a.log b.log", "first.log a.log b.log");
        row("a folder on a log view", false, "log view", "folder", before);
        row("a file on the details pane", false, "details", "b.log", "first.log b.log");
        row("safety faults: two files on the window", true, "window", "a.log b.log", "a.log");
        row("safety faults: a folder and a file on the log view", true, "log view", "folder b.log",
            "b.log");
        row("safety faults: a folder on the window", true, "window", "folder", "");
    }

    void drops()
    {
        QFETCH(bool, safetyFaultMode);
        QFETCH(QString, on);
        QFETCH(QString, dropped);
        QFETCH(int, actions);
        QFETCH(QString, panelFiles);
        const std::unique_ptr<Telvane> window = openWindow(safetyFaultMode);
        const Field *active = window->activeField();
        const QString before = safetyFaultMode ? "" : "first.log second.log";
        QMimeData data;
        data.setUrls(urls(dropped));
        const bool accepted = panelFiles != before;
        QCOMPARE(dragAndDrop(target(*window, on), data, Qt::DropActions(actions)),
                 qMakePair(accepted, accepted));

        QStringList shown;
        for (const Field *field : window->panels()) {
            shown << QFileInfo(field->fileName()).fileName();
            // The file itself, not its dropped name pasted into the text.
            QCOMPARE(field->textEdit()->toPlainText(), contents.value(shown.last()));
        }
        QCOMPARE(shown.join(' '), panelFiles);
        QCOMPARE(window->activeField(), active); // new panels leave the active one as it was
    }

    // Drops that hold no local file go into a log view as before; with a file, the file wins.
    void textDropsOnALogView_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<QString>("shown");
        QTest::newRow("text") << "pasted\n"
                              << ""
                              << "pasted\nsecond\n";
        QTest::newRow("text and a file") << "pasted\n"
                                         << "a.log"
                                         << "alpha\n";
        QTest::newRow("a web address") << ""
                                       << "remote"
                                       << "https://example.com/a.logsecond\n";
    }

    void textDropsOnALogView()
    {
        QFETCH(QString, text);
        QFETCH(QString, dropped);
        QFETCH(QString, shown);
        const std::unique_ptr<Telvane> window = openWindow(false);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        VisualizedTextEdit *view = window->panels().last()->textEdit();
        view->moveCursor(QTextCursor::Start);
        QMimeData data;
        data.setUrls(urls(dropped));
        if (!text.isEmpty())
            data.setText(text);
        // Dropped at the very start of the text.
        const QPoint at = view->cursorRect(view->textCursor()).topLeft() + QPoint(0, 2);
        QCOMPARE(dragAndDrop(view->viewport(), data, Qt::CopyAction, at), qMakePair(true, true));
        QCOMPARE(view->toPlainText(), shown);
        QCOMPARE(window->panels().size(), 2);
    }
};

QTEST_MAIN(TestDrops)
#include "tst_drops.moc"
