// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/parameterhistorywindow.h"
#include "logview/errormarks.h"
#include "logview/logviewcontroller.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "searchcore/linesource.h"
#include "searchcore/searchoptions.h"
#include "settings/applicationsettings.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/largelogview.h"
#include "view/logviewwidget.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace QTest
{
template <> char *toString(const TextPosition &at)
{
    return qstrdup(qPrintable(QStringLiteral("%1:%2").arg(at.line).arg(at.column)));
}
} // namespace QTest

namespace
{
constexpr qint64 ordinaryLimit = qint64(16) << 20;

// What a user sees of a log view at one moment.
struct Seen {
    TextPosition anchor;
    TextPosition caret;
    qint64 selectedLine = -1;
    qint64 firstLine = -1;
    int firstTop = 0;
    int rows = 0;
    int scrolledX = 0;
    int gutterWidth = 0;
    QString details;
    QString copied;
    QString note;
    QImage strip;
    QImage marks;

    QString differences(const Seen &other) const
    {
        QStringList out;
        const auto note = [&](const char *what, const QString &mine, const QString &theirs) {
            if (mine != theirs)
                out << QStringLiteral("%1: %2 vs %3").arg(QLatin1String(what), mine, theirs);
        };
        const auto at = [](const TextPosition &p) {
            return QStringLiteral("%1:%2").arg(p.line).arg(p.column);
        };
        note("anchor", at(anchor), at(other.anchor));
        note("caret", at(caret), at(other.caret));
        note("selected line", QString::number(selectedLine), QString::number(other.selectedLine));
        note("first line", QString::number(firstLine), QString::number(other.firstLine));
        note("first row top", QString::number(firstTop), QString::number(other.firstTop));
        note("rows", QString::number(rows), QString::number(other.rows));
        note("scrolled sideways", QString::number(scrolledX), QString::number(other.scrolledX));
        note("gutter width", QString::number(gutterWidth), QString::number(other.gutterWidth));
        note("details", details, other.details);
        note("copied", copied, other.copied);
        note("note", this->note, other.note);
        if (strip != other.strip) {
            out << QStringLiteral("strip pixels differ");
            strip.save(QStringLiteral("/tmp/strip-ordinary.png"));
            other.strip.save(QStringLiteral("/tmp/strip-large.png"));
        }
        if (marks != other.marks)
            out << QStringLiteral("error marks differ");
        return out.join(QStringLiteral("; "));
    }
};

// Lines a test makes up: no marker, no step matches; subclasses say what the lines are.
class MadeUpLines : public LineSource
{
public:
    qint64 lineLength(qint64 line) const override { return lineText(line).size(); }
    qint64 lineAtPosition(qint64 position) const override
    {
        qint64 line = 0;
        while (line + 1 < lineCount() && linePosition(line + 1) <= position)
            ++line;
        return line;
    }
    bool containsCommMarker() const override { return false; }
    qint64 longestLineLength() const override { return 20; }
    LineMatch find(const QString &, Qt::CaseSensitivity, bool, const TextPosition &, bool,
                   qint64) const override
    {
        return {};
    }
    void startFindAll(const QString &, Qt::CaseSensitivity) override
    {
        emit findAllEnded(0, false);
    }
    void cancelFindAll() override {}
};

// Three lines that stand past 2^31 characters into a log, as if a long head came before them.
class FarLines : public MadeUpLines
{
public:
    static constexpr qint64 start = (qint64(1) << 31) + 4321;
    const QStringList texts{QStringLiteral("head"), QStringLiteral("far needle here"),
                            QStringLiteral("tail needle")};

    QString title() const override { return QStringLiteral("far.log"); }
    qint64 lineCount() const override { return texts.size(); }
    QString lineText(qint64 line) const override { return texts.value(int(line)); }
    qint64 linePosition(qint64 line) const override
    {
        qint64 at = line == 0 ? 0 : start;
        for (int i = 1; i < line; ++i)
            at += texts.at(i).size() + 1;
        return at;
    }
    void startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) override
    {
        FoundBatch batch;
        for (int line = 0; line < texts.size(); ++line) {
            const int column = texts.at(line).indexOf(keyword, 0, sensitivity);
            if (column >= 0)
                batch.findings.append(Finding{line + 1,
                                              linePosition(line) + column + keyword.size(), column,
                                              int(keyword.size()), 0});
        }
        batch.lineText = [this](qint64 number) { return lineText(number - 1); };
        const qint64 count = batch.findings.size();
        emit found(batch);
        emit findAllEnded(count, false);
    }
};

// A log whose lines come in while the view shows it, as while a large log is indexed.
class ArrivingLines : public MadeUpLines
{
public:
    explicit ArrivingLines(qint64 expected) : expected(expected) {}
    void arrive(qint64 lines)
    {
        count += lines;
        emit changed();
    }
    void finish()
    {
        loading = false;
        emit loaded();
    }
    QString title() const override { return QStringLiteral("arriving.log"); }
    qint64 lineCount() const override { return count; }
    QString lineText(qint64 line) const override { return QStringLiteral("line %1").arg(line); }
    qint64 linePosition(qint64 line) const override { return line * 12; }
    bool isLoading() const override { return loading; }
    qint64 expectedLineCount() const override { return loading ? expected : count; }

private:
    qint64 expected;
    qint64 count = 0;
    bool loading = true;
};

QByteArray numberedLines(int count, const QByteArray &text = "line")
{
    QByteArray log;
    for (int i = 1; i <= count; ++i)
        log += text + ' ' + QByteArray::number(i) + '\n';
    return log;
}

// 2020-12-16 10:00:00 UTC plus `ms`, as a log line writes it.
QByteArray stamp(qint64 ms)
{
    const QDateTime start(QDate(2020, 12, 16), QTime(10, 0), Qt::UTC);
    return start.addMSecs(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
}

// A log whose line i carries the time times[i] (ms after 10:00), or none where that is -1.
QByteArray timedLog(const QVector<qint64> &times)
{
    QByteArray log;
    for (int i = 0; i < times.size(); ++i)
        log +=
            (times.at(i) < 0 ? QByteArray("    continued") : stamp(times.at(i)) + " [Info] step") +
            ' ' + QByteArray::number(i) + '\n';
    return log;
}

QVector<qint64> evenTimes(int count, qint64 startMs, qint64 stepMs)
{
    QVector<qint64> times;
    for (int i = 0; i < count; ++i)
        times << startMs + i * stepMs;
    return times;
}

// The last line whose time (its own, else the nearest above) is at or before `ms`; -1: none.
qint64 lastLineAtOrBefore(const QVector<qint64> &times, qint64 ms)
{
    qint64 found = -1;
    qint64 time = -1;
    for (int i = 0; i < times.size(); ++i) {
        time = times.at(i) < 0 ? time : times.at(i);
        if (time >= 0 && time <= ms)
            found = i;
    }
    return found;
}

// Error lines at 5 (a negative DP-V1 response), 40 (the third line of a received telegram split
// over three, whose joined telegram is a negative response) and 70
// (a negative TL response in a 64-byte envelope); lines tagged [Warn] at 20 and [Error] at 55.
QByteArray markedLog()
{
    QByteArray log;
    for (int i = 0; i < 100; ++i) {
        const QByteArray time = stamp(i * 100) + ' ';
        if (i == 5)
            log += time + "[Comm] DPV1 Received from slave 3: [FF 81 00 01 44 01 00 00]";
        else if (i == 38)
            log += time + "[Comm] Received: [02]";
        else if (i == 39)
            log += time + "[Comm] Received: [0E]";
        else if (i == 40)
            log += time + "[Comm] Received: [05 71 9A 00 00 00 00 00 02 04 7F 00 00 9B]";
        else if (i == 70)
            log += time +
                   "[Comm] Received from USB0: [03 10 02 0E 05 71 9A 00 00 00 00 00 11 04 7F"
                   " 00 00 88" +
                   QByteArray(" 00").repeated(46) + "]";
        else if (i == 20)
            log += time + "[Warn] DriveScanner: no answer from drive 7";
        else if (i == 55)
            log += time + "[Error] Fieldbus: slave 3 went away";
        else
            log += time + "[Info] line " + QByteArray::number(i);
        log += '\n';
    }
    return log;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

bool isAmber(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) > 120 && qGreen(pixel) < 210 && qBlue(pixel) < 120;
}
} // namespace

class TestConformance : public QObject
{
    Q_OBJECT

    QTemporaryDir tempRoot;
    std::unique_ptr<Telvane> window;
    int logs = 0;

    QString writeLog(const QByteArray &content)
    {
        const QString path = tempRoot.filePath(QStringLiteral("log%1.log").arg(++logs));
        return testsupport::writeFile(path, content) ? path : QString();
    }

    // A main window whose one panel shows `path` in the ordinary or the large-log view.
    Field *show(bool large, const QString &path)
    {
        Field::setLargeLogBytes(large ? -1 : ordinaryLimit);
        if (!showWindow(900))
            return nullptr;
        Field *field = window->panels().first();
        field->openFile(path);
        settle(field);
        return field;
    }

    // An active main window with the panels its settings name; its keys reach the panels.
    bool showWindow(int width)
    {
        window = std::make_unique<Telvane>(false);
        window->resize(width, 640);
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }

    // A panel for each of `paths`, all in the ordinary or all in the large-log view.
    QList<Field *> showPanels(bool large, const QStringList &paths)
    {
        Field::setLargeLogBytes(large ? -1 : ordinaryLimit);
        ApplicationSettings::instance().setValue("FileNames", paths.join(QLatin1Char(';')));
        if (!showWindow(1500))
            return {};
        for (Field *field : window->panels())
            settle(field);
        return window->panels();
    }

    // Ctrl+G in the panel's view, then `typed` and Return in the input it opens.
    static void goToTyped(Field *field, const QString &typed)
    {
        QTest::keyClick(field->view()->widget(), Qt::Key_G, Qt::ControlModifier);
        QVERIFY(field->goToInput()->isVisible());
        QVERIFY(field->goToInput()->hasFocus());
        QTest::keyClicks(field->goToInput(), typed);
        QTest::keyClick(field->goToInput(), Qt::Key_Return);
    }

    static void clickRow(Field *field, int row)
    {
        const VisibleRow at = field->view()->visibleRows().value(row);
        QWidget *viewport = static_cast<QAbstractScrollArea *>(field->view()->widget())->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(30, (at.top + at.bottom) / 2));
    }

    static qint64 firstShownLine(Field *field)
    {
        return field->view()->visibleRows().value(0).line;
    }

    // Where the view puts a line it shows in the middle.
    static qint64 middleFirstLine(Field *field, qint64 line)
    {
        return line - field->view()->visibleLineCount() / 2;
    }

    static void settle(Field *field)
    {
        QTRY_VERIFY(!field->logView()->source()->isLoading());
        QTRY_VERIFY(field->logView()->errorMarks()->isComplete());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    static QString details(const Field *field)
    {
        return field->findChild<QPlainTextEdit *>(QStringLiteral("selectedLineDetailsEdit"))
            ->toPlainText();
    }

    static Seen seen(Field *field)
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        LogViewWidget *view = field->view();
        Seen now;
        now.anchor = view->anchorPosition();
        now.caret = view->caretPosition();
        now.selectedLine = field->logView()->selectedLine();
        const QVector<VisibleRow> rows = view->visibleRows();
        now.firstLine = rows.isEmpty() ? -1 : rows.first().line;
        now.firstTop = rows.isEmpty() ? 0 : rows.first().top;
        now.rows = rows.size();
        now.scrolledX =
            static_cast<QAbstractScrollArea *>(view->widget())->horizontalScrollBar()->value();
        now.gutterWidth = view->lineNumberWidget()->width();
        now.details = details(field);
        now.copied = QApplication::clipboard()->text();
        now.strip = view->visualizedTextWidget()->grab().toImage();
        now.marks = view->errorMarkWidget()->grab().toImage();
        now.note = field->noteText();
        return now;
    }

    // One step of a user: "key Shift+PgDown", "click ROW", "dclick ROW CHARACTERS" (a
    // double-click that many characters into a row), "press gutter|strip ROW", "step
    // next|previous|linestart text|case|hex|param TEXT", "goto LINE" (a results row), "go TEXT"
    // (Ctrl+G, TEXT, Return).
    void act(Field *field, const QString &action)
    {
        const QString verb = action.section(QLatin1Char(' '), 0, 0);
        const QString rest = action.section(QLatin1Char(' '), 1);
        QWidget *widget = field->view()->widget();
        if (verb == QLatin1String("key")) {
            QTest::keySequence(widget, QKeySequence::fromString(rest));
        } else if (verb == QLatin1String("click")) {
            const VisibleRow row = field->view()->visibleRows().value(rest.toInt());
            QWidget *target = static_cast<QAbstractScrollArea *>(widget)->viewport();
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(30, (row.top + row.bottom) / 2));
        } else if (verb == QLatin1String("dclick")) {
            const VisibleRow row =
                field->view()->visibleRows().value(rest.section(' ', 0, 0).toInt());
            const int x = 4 + widget->fontMetrics().horizontalAdvance(
                                  QString(rest.section(' ', 1).toInt(), QLatin1Char('x')));
            QWidget *target = static_cast<QAbstractScrollArea *>(widget)->viewport();
            const QPoint at(x, (row.top + row.bottom) / 2);
            QTest::mouseClick(target, Qt::LeftButton, {}, at);
            QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        } else if (verb == QLatin1String("press")) {
            QWidget *area = rest.startsWith(QLatin1String("gutter"))
                                ? field->view()->lineNumberWidget()
                                : field->view()->visualizedTextWidget();
            const VisibleRow row = field->view()->visibleRows().value(rest.section(' ', 1).toInt());
            QTest::mouseClick(area, Qt::LeftButton, {},
                              QPoint(area->width() - 3, (row.top + row.bottom) / 2));
        } else if (verb == QLatin1String("step")) {
            const QString direction = rest.section(QLatin1Char(' '), 0, 0);
            const QString mode = rest.section(QLatin1Char(' '), 1, 1);
            const QString text = rest.section(QLatin1Char(' '), 2);
            const int searchDirection = direction == QLatin1String("next") ? FindNext
                                        : direction == QLatin1String("previous")
                                            ? FindPrevious
                                            : FindFromLineStart;
            const int searchMode = mode == QLatin1String("text")   ? PlainText
                                   : mode == QLatin1String("case") ? PlainTextMatchCase
                                   : mode == QLatin1String("hex")  ? BinaryData
                                                                   : ParameterId;
            field->setActive(true);
            field->search(SearchOptions(nullptr, searchDirection, searchMode, text));
        } else if (verb == QLatin1String("go")) {
            goToTyped(field, rest);
        } else if (verb == QLatin1String("goto")) {
            const LineSource *lines = field->logView()->source();
            const qint64 line = rest.toLongLong() - 1;
            const Finding finding{line + 1, lines->linePosition(line) + 2, 0, 2, field->id};
            field->goTo(finding);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown action ") + action));
        }
    }

    QVector<Seen> run(bool large, const QString &path, const QStringList &actions)
    {
        QVector<Seen> all;
        QApplication::clipboard()->clear();
        Field *field = show(large, path);
        if (!field)
            return all;
        all << seen(field);
        for (const QString &action : actions) {
            act(field, action);
            all << seen(field);
        }
        return all;
    }

    // Rows of a test that runs once per view.
    static void addForBothViews(const char *name, const std::function<void(QTestData &)> &fill)
    {
        for (const bool large : {false, true}) {
            QTestData &row = QTest::newRow(
                qPrintable(QStringLiteral("%1, %2").arg(large ? "large" : "ordinary", name)));
            row << large;
            fill(row);
        }
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(tempRoot));
    }

    void cleanup()
    {
        window.reset();
        ApplicationSettings::instance().clear();
        Field::setLargeLogBytes(ordinaryLimit);
        testsupport::deleteClosed();
    }

    // Each scenario runs in the ordinary and in the large-log view; after every action both
    // must show the same: selection, selected line, scroll position, details and strip pixels.
    void bothViewsShowTheSame_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("actions");

        const QByteArray numbered = numberedLines(300);
        QTest::newRow("page down from line 8, twice, back, extending")
            << numbered << QStringList{"key Ctrl+Home", "click 7",  "key PgDown",
                                       "key PgDown",    "key PgUp", "key Shift+PgDown",
                                       "key Ctrl+End",  "key PgUp", "key PgUp"};
        QTest::newRow("arrows keep the column over short lines")
            << QByteArray("a long first line of text\nab\n\nanother long line of text\n")
            << QStringList{"key Ctrl+Home", "key End",  "key Down",       "key Down", "key Down",
                           "key Up",        "key Left", "key Shift+Home", "key Right"};
        QTest::newRow("select all keeps the selected line and its details")
            << numbered
            << QStringList{"key Ctrl+Home", "click 3", "key Ctrl+A", "key Ctrl+C", "key Down"};
        QTest::newRow("mouse: words, extending, side areas, copy")
            << QByteArray("alpha beta\ngamma delta_x\n[Comm] Sent [01 02]\nlast\n")
            << QStringList{"dclick 0 7",      "key Ctrl+C",    "click 0",      "key Shift+Down",
                           "key Shift+Right", "key Ctrl+C",    "dclick 1 9",   "key Ctrl+C",
                           "press gutter 2",  "press strip 3", "key Shift+Up", "key Ctrl+C"};
        QTest::newRow("steps in the three modes, with wrap-around")
            << QByteArray("x Motor 1 [Comm] [01 03 E8 00]\nmotor\nMotor Motor\nplain\n")
            << QStringList{
                   "key Ctrl+Home",        "step next text motor",      "step next text motor",
                   "step next text motor", "step next text motor",      "step previous text motor",
                   "step next case Motor", "step previous case Motor",  "step next hex Motor",
                   "step next param 1000", "step linestart text motor", "step next text absent"};
        QTest::newRow("a match on a short line does not scroll sideways")
            << numberedLines(100, "2020-12-16 10:54:21.021 [Comm] Sent [4D 6F 74 6F 72 00]")
            << QStringList{"key Ctrl+Home", "step next hex Motor", "step next hex Motor"};
        QByteArray longLine = QByteArray(4000, 'x') + " needle " + QByteArray(900, 'y') + '\n';
        QTest::newRow("a match far along a long line scrolls it into view")
            << numberedLines(5) + longLine + numberedLines(5)
            << QStringList{"key Ctrl+Home", "step next text needle", "key Home",
                           "step previous text needle", "key End"};
        // Longer than the large view lays out whole, as long as the ordinary view holds.
        const QByteArray wide = "caf\xC3\xA9 word_" + QByteArray(5, 'x') + " ";
        QTest::newRow("keys along a long line")
            << numberedLines(3) + wide.repeated(9900 / 16) + '\n' + numberedLines(3)
            << QStringList{"key Ctrl+Home", "key Down",   "key Down",   "key Down", "key End",
                           "key Left",      "key Up",     "key Down",   "key Home", "key Right",
                           "key Shift+End", "key Ctrl+C", "key PgDown", "key Up"};
        QTest::newRow("going to a finding far down and back up")
            << numbered << QStringList{"goto 250", "goto 3", "goto 300", "goto 151"};
        QTest::newRow("next and previous error, go to a line or a time")
            << markedLog()
            << QStringList{"key F8", "key F8",        "key Shift+F8",           "go 90",
                           "key F8", "go 10:00:04.5", "go 2020-12-16 09:00:00", "key Down"};
        QTest::newRow("strip rows at the screen's edges")
            << generatedLog(400, 7)
            << QStringList{"key Ctrl+Home", "key PgDown", "key PgDown",   "key Down",
                           "key Down",      "key PgDown", "key Ctrl+End", "key PgUp"};
    }

    void bothViewsShowTheSame()
    {
        QFETCH(QByteArray, log);
        QFETCH(QStringList, actions);
        const QString path = writeLog(log);
        const QVector<Seen> ordinary = run(false, path, actions);
        const QVector<Seen> large = run(true, path, actions);
        QCOMPARE(large.size(), actions.size() + 1);
        QCOMPARE(ordinary.size(), large.size());
        for (int i = 0; i < ordinary.size(); ++i) {
            const QString what = i == 0 ? QStringLiteral("at open") : actions.at(i - 1);
            const QString differences = ordinary.at(i).differences(large.at(i));
            QVERIFY2(
                differences.isEmpty(),
                qPrintable(QStringLiteral("after %1 (#%2): %3").arg(what).arg(i).arg(differences)));
        }
    }

    void matchesAreFullyInView_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("mode");
        const QByteArray longLine = QByteArray(8000, 'x') + " needle20k " + QByteArray(90, 'y');
        addForBothViews("far along a long line", [&](QTestData &row) {
            row << longLine + '\n' << QStringLiteral("needle20k") << int(PlainText);
        });
        addForBothViews("short line, binary data", [&](QTestData &row) {
            row << numberedLines(80, "2020-12-16 10:54:21.021 [Comm] Sent [4D 6F 74 6F 72]")
                << "Motor" << int(BinaryData);
        });
    }

    void matchesAreFullyInView()
    {
        QFETCH(bool, large);
        QFETCH(QByteArray, log);
        QFETCH(QString, typed);
        QFETCH(int, mode);
        Field *field = show(large, writeLog(log));
        QVERIFY(field);
        field->setActive(true);
        field->search(SearchOptions(nullptr, FindNext, mode, typed));
        QCoreApplication::processEvents();
        LogViewWidget *view = field->view();
        QVERIFY(view->anchorPosition() != view->caretPosition());
        const QRect viewport =
            static_cast<QAbstractScrollArea *>(view->widget())->viewport()->rect();
        const QRect end = view->caretRect();
        QVERIFY2(viewport.contains(end.topLeft()),
                 qPrintable(QStringLiteral("caret at %1,%2").arg(end.x()).arg(end.y())));
        // The match's start is in view too.
        const int matchWidth = view->widget()->fontMetrics().horizontalAdvance(
            QString(typed.size(), QLatin1Char('x')));
        QVERIFY(end.x() - matchWidth >= 0);
    }

    void notFoundIsForgottenWhenTheLogGrows_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("followed", [](QTestData &) {});
    }

    void notFoundIsForgottenWhenTheLogGrows()
    {
        QFETCH(bool, large);
        const QString path = writeLog(numberedLines(20));
        Field *field = show(large, path);
        QVERIFY(field);
        field->followAction()->setChecked(true);
        QSignalSpy answers(field, &Field::searchFinished);
        act(field, QStringLiteral("step next text qy"));
        QCOMPARE(answers.takeLast().at(0).toBool(), false);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("here is qy\n");
        file.close();
        QTRY_COMPARE(field->logView()->source()->lineCount(), qint64(22));
        act(field, QStringLiteral("step next text qy"));
        QCOMPARE(answers.takeLast().at(0).toBool(), true);
        QCOMPARE(field->view()->caretPosition().line, qint64(20));
    }

    void followShowsWhatCameWhileItWasOff_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("follow switched on", [](QTestData &) {});
    }

    void followShowsWhatCameWhileItWasOff()
    {
        QFETCH(bool, large);
        const QString path = writeLog(numberedLines(10));
        Field *field = show(large, path);
        QVERIFY(field);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("written while follow was off\n");
        file.close();
        field->followAction()->setChecked(true);
        QTRY_COMPARE(field->logView()->source()->lineCount(), qint64(12));
        QCOMPARE(field->logView()->source()->lineText(10),
                 QStringLiteral("written while follow was off"));
    }

    void detailsShowAtOpen_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("sample log", [](QTestData &) {});
    }

    void detailsShowAtOpen()
    {
        QFETCH(bool, large);
        const QString sample = qEnvironmentVariable("TELVANE_SOURCE_DIR") +
                               QStringLiteral("/samples/dpv1-session.log");
        Field *field = show(large, sample);
        QVERIFY(field);
        const qint64 line = field->view()->caretPosition().line;
        const QString text = field->logView()->source()->lineText(line);
        QTRY_VERIFY(details(field).startsWith(QStringLiteral("Line %1").arg(line + 1)));
        QVERIFY(details(field).contains(text.left(20)) || details(field).contains(" data: "));
    }

    void noteKeepsTheCaretInView_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("file vanishes", [](QTestData &) {});
    }

    void noteKeepsTheCaretInView()
    {
        QFETCH(bool, large);
        const QString path = writeLog(numberedLines(500));
        Field *field = show(large, path);
        QVERIFY(field);
        field->followAction()->setChecked(true);
        act(field, QStringLiteral("key Ctrl+End"));
        QVERIFY(field->logView()->caretInView());
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(!field->noteText().isEmpty());
        QTRY_VERIFY(field->logView()->caretInView());
    }

    void cancelledFindAllSaysSo_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("Cancel pressed", [](QTestData &) {});
    }

    void cancelledFindAllSaysSo()
    {
        QFETCH(bool, large);
        Field *field = show(large, writeLog(QByteArray("a\n").repeated(400000)));
        QVERIFY(field);
        SearchResultWindow *pane = window->searchResultWindow();
        field->logView()->findAll(QStringLiteral("a"), Qt::CaseSensitive);
        QVERIFY(pane->isSearchRunning());
        QTest::mouseClick(pane->cancelSearchButton(), Qt::LeftButton);
        QVERIFY(!pane->isSearchRunning());
        SearchResultsList *list = pane->resultsList();
        const QString summary = list->index(list->count() - 1).data().toString();
        QVERIFY2(summary.startsWith(QStringLiteral("Summary: Cancelled after ")),
                 qPrintable(summary));
    }

    // Only the large view opens a line over 10,000 characters: its details and its results row
    // show the start of it and say how much is left out.
    void hugeLineIsCut()
    {
        const QByteArray huge = "[Warn] start " + QByteArray(30000, 'x') + " end";
        Field *field = show(true, writeLog("first\n" + huge + "\n"));
        QVERIFY(field);
        act(field, QStringLiteral("key Down"));
        const QString more = QStringLiteral(" [... %1 more characters]")
                                 .arg(huge.size() - LineSource::shownLineLimit);
        QTRY_VERIFY(details(field).endsWith(more));
        QCOMPARE(details(field),
                 QStringLiteral("Line 2: ") + huge.left(LineSource::shownLineLimit) + more);
        SearchResultWindow *pane = window->searchResultWindow();
        field->logView()->findAll(QStringLiteral("end"), Qt::CaseSensitive);
        QTRY_VERIFY(!pane->isSearchRunning());
        SearchResultsList *list = pane->resultsList();
        QCOMPARE(list->count(), 3); // the header, the row, the summary
        const QString row = list->index(1).data().toString();
        QVERIFY2(row.startsWith(QStringLiteral("    Line 2: [Warn] start")) && row.endsWith(more),
                 qPrintable(row.right(80)));
    }

    void sliderSpansTheShownView_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("telegram log", [](QTestData &) {});
    }

    void sliderSpansTheShownView()
    {
        QFETCH(bool, large);
        Field *field = show(large, writeLog("x [Comm] [01 02]\n"));
        QVERIFY(field);
        auto *slider = field->findChild<QSlider *>(QStringLiteral("visualizedAreaWidthSlider"));
        QTRY_COMPARE(slider->maximum(), field->view()->widget()->width());
        QVERIFY(field->view()->widget()->isVisible());
    }

    void findAllAndGoToPast2GiB()
    {
        Field *field = show(true, writeLog("placeholder\n"));
        QVERIFY(field);
        FarLines far;
        field->largeLogView()->setSource(&far);
        SearchResultWindow *pane = window->searchResultWindow();
        field->logView()->findAll(QStringLiteral("needle"), Qt::CaseSensitive);
        SearchResultsList *list = pane->resultsList();
        QTRY_COMPARE(list->count(), 4); // header, two rows, summary
        QCOMPARE(list->index(2).data().toString(), QStringLiteral("    Line 3: tail needle"));
        list->scrollTo(list->index(2));
        const QPoint centre = list->visualRect(list->index(2)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(field->view()->anchorPosition(), (TextPosition{2, 5}));
        QCOMPARE(field->view()->caretPosition(), (TextPosition{2, 11}));
        field->largeLogView()->openLog(QString()); // lets go of the source before it goes
    }

    // The gutter takes the width of the line count to come, so the text does not move sideways
    // while a large log is read.
    void gutterKeepsItsWidthWhileLinesArrive()
    {
        Field *field = show(true, writeLog("placeholder\n"));
        QVERIFY(field);
        ArrivingLines lines(20000);
        field->largeLogView()->setSource(&lines);
        QSet<int> textLefts;
        for (int step = 0; step < 10; ++step) {
            lines.arrive(2000);
            QCoreApplication::processEvents();
            textLefts << field->largeLogView()->viewport()->x();
        }
        lines.finish();
        QCoreApplication::processEvents();
        textLefts << field->largeLogView()->viewport()->x();
        QCOMPARE(textLefts.size(), 1);
        field->largeLogView()->openLog(QString());
    }

    void copyAndSaveSelection_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("lines of a log", [](QTestData &) {});
    }

    // A selection past the copy limit is not copied, and the note says to save it; saving
    // writes the selected lines whole, as the log holds them.
    void copyAndSaveSelection()
    {
        QFETCH(bool, large);
        const QByteArray line = QByteArray(99, 'x') + '\n';
        Field *field = show(large, writeLog(numberedLines(5) + line.repeated(45000)));
        QVERIFY(field);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        act(field, QStringLiteral("key Ctrl+A"));
        act(field, QStringLiteral("key Ctrl+C"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(field->noteText().contains(QStringLiteral("Save Selection As")));

        field->view()->select({1, 3}, {3, 2}, true);
        const QString saved = tempRoot.filePath(QStringLiteral("saved-%1.log").arg(large));
        QVERIFY(field->logView()->saveSelection(saved));
        QTRY_VERIFY(field->noteText().startsWith(QStringLiteral("Saved 3 lines")));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("line 2\nline 3\nline 4\n"));
        QVERIFY(!field->logView()->saveSelection(tempRoot.filePath(QStringLiteral("no/such/dir"))));
    }

    void parameterHistoryFromALine_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("sample log", [](QTestData &) {});
    }

    // Offered on a telegram line with a parameter only; its window lists the parameter's lines,
    // sorts by a header click, and a double-click on a row selects that line in the panel.
    void parameterHistoryFromALine()
    {
        QFETCH(bool, large);
        const QString sample = qEnvironmentVariable("TELVANE_SOURCE_DIR") +
                               QStringLiteral("/samples/dpv1-session.log");
        Field *field = show(large, sample);
        QVERIFY(field);
        act(field, QStringLiteral("key Ctrl+Home"));
        QTRY_VERIFY(!field->parameterHistoryAction()->isVisible());
        act(field, QStringLiteral("click 2")); // a read request of parameter 1000
        QTRY_VERIFY(field->parameterHistoryAction()->isVisible());
        QTest::keyClick(field->view()->widget(), Qt::Key_H, Qt::ControlModifier);
        auto *history = field->findChild<ParameterHistoryWindow *>();
        QVERIFY(history);
        QCOMPARE(history->parameter(), 1000u);
        QTRY_VERIFY(!history->isScanning());
        QTableView *table = history->tableView();
        QAbstractItemModel *rows = table->model();
        QVERIFY(rows->rowCount() >= 2);
        QCOMPARE(rows->index(0, 0).data().toString(), QStringLiteral("3"));
        QHeaderView *header = table->horizontalHeader();
        const QPoint lineHeader(header->sectionViewportPosition(0) + 5, 5);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, lineHeader);
        if (header->sortIndicatorOrder() == Qt::AscendingOrder)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, lineHeader);
        const int last = rows->rowCount() - 1;
        const qint64 lastLine = rows->index(0, 0).data().toLongLong();
        QVERIFY2(lastLine > rows->index(last, 0).data().toLongLong(), "sorted by line, descending");
        const QPoint centre = table->visualRect(rows->index(0, 2)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(field->view()->caretPosition(), (TextPosition{lastLine - 1, 0}));
        QTRY_VERIFY(details(field).startsWith(QStringLiteral("Line %1").arg(lastLine)));
        history->close();
    }

    void linkedPanelsFollowTheActiveOne_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("three panels, one without times", [](QTestData &) {});
    }

    // Panel A: a line a second from 10:00; B: every half second from 09:59:30.25, each fourth
    // line without a time of its own; C: no times.
    void linkedPanelsFollowTheActiveOne()
    {
        QFETCH(bool, large);
        const QVector<qint64> timesA = evenTimes(120, 0, 1000);
        QVector<qint64> timesB = evenTimes(240, -29750, 500);
        for (int i = 3; i < timesB.size(); i += 4)
            timesB[i] = -1;
        const QList<Field *> panels =
            showPanels(large, {writeLog(timedLog(timesA)), writeLog(timedLog(timesB)),
                               writeLog(numberedLines(50, "no time here"))});
        QCOMPARE(panels.size(), 3);
        Field *a = panels.at(0);
        Field *b = panels.at(1);
        Field *c = panels.at(2);
        const qint64 lineOfC = c->logView()->selectedLine();

        QTest::keyClick(a->view()->widget(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(window->linkPanelsButton()->isChecked());
        QVERIFY(ApplicationSettings::instance().linkPanelsByTime());
        clickRow(a, 10);
        QCOMPARE(a->logView()->selectedLine(), qint64(10));
        // 10:00:10 in B falls on line 79, which takes line 78's time.
        const qint64 expectedB = lastLineAtOrBefore(timesB, 10000);
        QCOMPARE(expectedB, qint64(79));
        QTRY_COMPARE(b->logView()->selectedLine(), expectedB);
        QCOMPARE(b->view()->caretPosition(), (TextPosition{expectedB, 0}));
        QCOMPARE(firstShownLine(b), middleFirstLine(b, expectedB));
        QTRY_VERIFY(details(b).startsWith(QStringLiteral("Line 80")));
        QCOMPARE(c->logView()->selectedLine(), lineOfC);
        QVERIFY2(c->noteText().contains(QStringLiteral("No times")), qPrintable(c->noteText()));
        QCOMPARE(a->noteText(), QString());
        // A moved by nothing but the click.
        QCOMPARE(a->logView()->selectedLine(), qint64(10));

        // B leads once it is the active panel; A follows, B stays where it was clicked.
        clickRow(b, 2);
        const qint64 clickedB = b->logView()->selectedLine();
        QTRY_VERIFY(window->activeField() == b);
        const qint64 timeB =
            timesB.at(int(clickedB)) >= 0 ? timesB.at(int(clickedB)) : timesB.at(int(clickedB) - 1);
        QTRY_COMPARE(a->logView()->selectedLine(), lastLineAtOrBefore(timesA, timeB));
        QCOMPARE(b->logView()->selectedLine(), clickedB);

        // Switched off, a move leads nowhere.
        QTest::keyClick(b->view()->widget(), Qt::Key_L, Qt::ControlModifier);
        QVERIFY(!ApplicationSettings::instance().linkPanelsByTime());
        const qint64 lineOfA = a->logView()->selectedLine();
        clickRow(b, 20);
        QCoreApplication::processEvents();
        QCOMPARE(a->logView()->selectedLine(), lineOfA);
    }

    void timesOutOfOrder_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("ms"); // after 10:00
        const QVector<qint64> seconds{3500, 8000, 12500, 14000, 21000, 24000};
        for (const qint64 ms : seconds) {
            const QString typed =
                QTime(10, 0).addMSecs(int(ms)).toString(QStringLiteral("HH:mm:ss.zzz"));
            addForBothViews(qPrintable(typed), [&](QTestData &row) { row << typed << ms; });
        }
    }

    // A stretch runs backwards and another jumps ahead: whatever the answer, its time is at or
    // before the one typed and the next line's is after it.
    void timesOutOfOrder()
    {
        QFETCH(bool, large);
        QFETCH(QString, typed);
        QFETCH(qint64, ms);
        const QVector<qint64> seconds{0,  1,  2,  3,  9,  8,  7,  6,  -1, 4,  5,  10, 11, 20,
                                      12, 13, -1, -1, 14, 15, 22, 16, 17, 18, 19, 23, 25, -1};
        QVector<qint64> times;
        for (const qint64 second : seconds)
            times << (second < 0 ? -1 : second * 1000);
        Field *field = show(large, writeLog(timedLog(times)));
        QVERIFY(field);
        goToTyped(field, typed);
        const qint64 line = field->logView()->selectedLine();
        const auto timeOf = [&](qint64 at) {
            while (times.at(int(at)) < 0)
                --at;
            return times.at(int(at));
        };
        QVERIFY2(timeOf(line) <= ms, qPrintable(QString::number(line)));
        QVERIFY2(line + 1 >= times.size() || timeOf(line + 1) > ms,
                 qPrintable(QString::number(line)));
        QCOMPARE(field->noteText(), QString());
    }

    void goToLineOrTime_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("line"); // -1: the view stays, the input turns red
        QTest::addColumn<bool>("noted");
        // 300 lines, one a second from 10:00:00, and the empty line after the last line break.
        const struct {
            const char *name;
            const char *typed;
            qint64 line;
            bool noted;
        } rows[] = {
            {"a line number", "150", 149, false},
            {"past the end", "100000", 300, false},
            {"a time", "10:02:30", 150, false},
            {"a time with a fraction", "10:02:30.999", 150, false},
            {"a date and time", "2020-12-16 10:01:00.5", 60, false},
            {"before the log", "09:00:00", 0, true},
            {"after the log", "11:00:00", 300, true},
            {"another day", "2020-12-17T10:00:00", 300, true},
            {"words", "abc", -1, false},
            {"no such minute", "10:61:00", -1, false},
            {"a negative number", "-5", -1, false},
            {"nothing", "", -1, false},
        };
        for (const auto &row : rows)
            addForBothViews(row.name, [&](QTestData &data) {
                data << QString::fromLatin1(row.typed) << row.line << row.noted;
            });
    }

    void goToLineOrTime()
    {
        QFETCH(bool, large);
        QFETCH(QString, typed);
        QFETCH(qint64, line);
        QFETCH(bool, noted);
        Field *field = show(large, writeLog(timedLog(evenTimes(300, 0, 1000))));
        QVERIFY(field);
        clickRow(field, 3);
        const Seen before = seen(field);
        goToTyped(field, typed);
        QLineEdit *input = field->goToInput();
        if (line < 0) {
            QVERIFY(input->isVisible());
            QCOMPARE(input->palette().color(QPalette::Text), QColor(Qt::red));
            QCOMPARE(seen(field).differences(before), QString());
            QTest::keyClick(input, Qt::Key_Escape);
            QVERIFY(!input->isVisible());
            QVERIFY(field->view()->widget()->hasFocus());
            return;
        }
        QVERIFY(!input->isVisible());
        QCOMPARE(field->logView()->selectedLine(), line);
        QCOMPARE(field->view()->caretPosition(), (TextPosition{line, 0}));
        if (line > 50 && line < 250)
            QCOMPARE(firstShownLine(field), middleFirstLine(field, line));
        QCOMPARE(!field->noteText().isEmpty(), noted);
    }

    void nextErrorWrapsAround_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QList<qint64>>("lines"); // selected after each key
        addForBothViews("forwards past the last", [](QTestData &row) {
            row << markedLog() << QStringList{"F8", "F8", "F8", "F8"}
                << QList<qint64>{5, 40, 70, 5};
        });
        addForBothViews("backwards past the first", [](QTestData &row) {
            row << markedLog() << QStringList{"Shift+F8", "Shift+F8", "Shift+F8", "Shift+F8"}
                << QList<qint64>{70, 40, 5, 70};
        });
        addForBothViews("to an unfinished last line", [](QTestData &row) {
            row << markedLog() + stamp(20000) +
                       " [Comm] DPV1 Received from slave 3: [FF 82 00 01 44 01 00 02]"
                << QStringList{"Shift+F8", "F8"} << QList<qint64>{100, 5};
        });
        addForBothViews("no error line", [](QTestData &row) {
            row << numberedLines(30, "[Warn] tagged, no error") << QStringList{"F8"}
                << QList<qint64>{0};
        });
    }

    void nextErrorWrapsAround()
    {
        QFETCH(bool, large);
        QFETCH(QByteArray, log);
        QFETCH(QStringList, keys);
        QFETCH(QList<qint64>, lines);
        Field *field = show(large, writeLog(log));
        QVERIFY(field);
        const bool noErrors = field->logView()->errorMarks()->errorLines().empty();
        for (int i = 0; i < keys.size(); ++i) {
            act(field, QStringLiteral("key ") + keys.at(i));
            QCOMPARE(field->logView()->selectedLine(), lines.at(i));
        }
        QCOMPARE(field->noteText().startsWith(QStringLiteral("No error line")), noErrors);
    }

    void errorMarksStandBesideTheirLines_data()
    {
        QTest::addColumn<bool>("large");
        addForBothViews("marked log, then followed", [](QTestData &) {});
    }

    void errorMarksStandBesideTheirLines()
    {
        QFETCH(bool, large);
        const QString path = writeLog(markedLog());
        Field *field = show(large, path);
        QVERIFY(field);
        QWidget *column = field->view()->errorMarkWidget();
        QCOMPARE(column->height(),
                 static_cast<QAbstractScrollArea *>(field->view()->widget())->viewport()->height());
        // Line L of N stands at (L + 1/2) / N of the column's height.
        const auto rowOf = [&](qint64 line) {
            const qint64 count = field->logView()->source()->lineCount();
            return int((2 * line + 1) * column->height() / (2 * count));
        };
        const auto pixel = [&](qint64 line) {
            return column->grab().toImage().pixel(column->width() / 2, rowOf(line));
        };
        for (const qint64 line : {5, 40, 70})
            QVERIFY2(isRed(pixel(line)), qPrintable(QString::number(line)));
        for (const qint64 line : {20, 55})
            QVERIFY2(isAmber(pixel(line)), qPrintable(QString::number(line)));
        for (const qint64 line : {0, 30, 90})
            QVERIFY2(!isRed(pixel(line)) && !isAmber(pixel(line)),
                     qPrintable(QString::number(line)));

        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(column->width() / 2, rowOf(40)));
        QCOMPARE(field->logView()->selectedLine(), qint64(40));
        QCOMPARE(firstShownLine(field), middleFirstLine(field, 40));
        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(1, rowOf(55) + 1));
        QCOMPARE(field->logView()->selectedLine(), qint64(55));

        // A followed log's new error line gets its mark, and F8 finds it.
        field->followAction()->setChecked(true);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write(stamp(20000) +
                   " [Comm] DPV1 Received from slave 3: [FF 82 00 01 44 01 00 02]\n");
        file.close();
        QTRY_COMPARE(field->logView()->source()->lineCount(), qint64(102));
        QTRY_VERIFY(isRed(pixel(100)));
        act(field, QStringLiteral("go 91"));
        act(field, QStringLiteral("key F8"));
        QCOMPARE(field->logView()->selectedLine(), qint64(100));
    }

    void logsGoToTheViewThatFits_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<bool>("large");
        QTest::newRow("at the size limit") << qint64(100) << QByteArray(99, 'a') + '\n' << false;
        QTest::newRow("a byte past it") << qint64(100) << QByteArray(100, 'a') + '\n' << true;
        QTest::newRow("longest ordinary line") << ordinaryLimit << QByteArray(10000, 'a') + "\nb\n"
                                               << false;
        QTest::newRow("one character longer")
            << ordinaryLimit << "b\n" + QByteArray(10001, 'a') + '\n'
            << true;
    }

    void logsGoToTheViewThatFits()
    {
        QFETCH(qint64, limit);
        QFETCH(QByteArray, log);
        QFETCH(bool, large);
        const QString path = writeLog(log);
        Field *field = show(false, path);
        QVERIFY(field);
        Field::setLargeLogBytes(limit);
        field->openFile(path);
        settle(field);
        QCOMPARE(field->largeLogView() != nullptr, large);
        QCOMPARE(field->textEdit() != nullptr, !large);
        QCOMPARE(field->logView()->source()->lineText(0),
                 QString::fromLatin1(log.left(log.indexOf('\n'))));
    }
};

QTEST_MAIN(TestConformance)
#include "tst_conformance.moc"
