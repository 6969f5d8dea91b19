// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/historyplot.h"
#include "history/historytablemodel.h"
#include "history/parameterhistorywindow.h"
#include "logstore/logstore.h"
#include "tests/history/historyreference.h"
#include "tests/testsupport.h"
#include "tools/loggenerator.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>
#include <QtCharts/QChartView>
#include <QtTest>

namespace
{
QStringList sampleLines(const QString &name)
{
    return testsupport::referenceText(qEnvironmentVariable("TELVANE_SOURCE_DIR") +
                                      QStringLiteral("/samples/") + name)
        .split(QLatin1Char('\n'));
}

LineBatchReader listReader(const QStringList &lines)
{
    return [lines](qint64 first, qint64 count) { return lines.mid(int(first), int(count)); };
}

} // namespace

class TestParameterHistoryWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;

    static bool finish(ParameterHistoryWindow &window)
    {
        QSignalSpy finished(&window, &ParameterHistoryWindow::scanFinished);
        return window.isScanning() ? finished.wait(20000) : true;
    }
    static QString cellText(const ParameterHistoryWindow &window, int row, int column)
    {
        return window.tableView()->model()->index(row, column).data().toString();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(testsupport::useTempFolder(folder));
    }

    void sortAndDoubleClick_data()
    {
        QTest::addColumn<bool>("fromStore");
        QTest::newRow("ordinary view (document)") << false;
        QTest::newRow("large-log view (store)") << true;
    }

    // Over the lines of either view's source: the rows as found, sorted by a header click, and
    // a double-click that asks for the row's line.
    void sortAndDoubleClick()
    {
        QFETCH(bool, fromStore);
        const QByteArray log = generatedLog(6000, 7);
        const QString path = folder.filePath(QStringLiteral("generated.log"));
        QVERIFY(testsupport::writeFile(path, log));
        const QStringList lines = testsupport::referenceText(path).split(QLatin1Char('\n'));
        const quint32 parameter = mostFrequentParameter(lines);

        QTextDocument document(testsupport::referenceText(path));
        LogStore store;
        LineBatchReader reader = [&document](qint64 first, qint64 count) {
            QStringList texts;
            for (QTextBlock block = document.findBlockByNumber(int(first));
                 block.isValid() && texts.size() < count; block = block.next())
                texts << block.text();
            return texts;
        };
        qint64 lineCount = document.blockCount();
        if (fromStore) {
            QSignalSpy indexed(&store, &LogStore::finished);
            QVERIFY(store.open(path));
            QVERIFY(indexed.wait(10000));
            reader = [&store](qint64 first, qint64 count) { return store.lineTexts(first, count); };
            lineCount = store.lineCount();
        }
        ParameterHistoryWindow window(parameter, path);
        window.resize(900, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.scan(reader, lineCount);
        QVERIFY(finish(window));
        const HistoryRows expected = referenceRows(lines, parameter);
        QCOMPARE(window.model()->rows().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(rowText(window.model()->rows().at(i)), rowText(expected.at(i)));

        QTableView *table = window.tableView();
        QHeaderView *header = table->horizontalHeader();
        const QPoint valueSection(header->sectionViewportPosition(historytext::Value) + 10,
                                  header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, valueSection);
        QCOMPARE(header->sortIndicatorSection(), int(historytext::Value));
        // Empty values, then numbers by size, then texts.
        double previous = -1;
        bool textsBegan = false;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            const QString value = cellText(window, row, historytext::Value);
            double number = 0;
            if (historytext::numericValue(value, &number)) {
                QVERIFY2(!textsBegan && number >= previous, qPrintable(value));
                previous = number;
            } else if (!value.isEmpty()) {
                textsBegan = true;
            } else {
                QCOMPARE(previous, -1.0);
            }
        }
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, valueSection);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

        QSignalSpy requested(&window, &ParameterHistoryWindow::lineRequested);
        const int row = table->model()->rowCount() / 2;
        table->scrollTo(table->model()->index(row, 0));
        const QPoint cell =
            table->visualRect(table->model()->index(row, historytext::Kind)).center();
        // A double-click is a click and then a press that the system marks as its second.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).toLongLong(),
                 cellText(window, row, historytext::Line).toLongLong() - 1);
    }

    // Written and read values and error marks; a click on a point asks for its line.
    void plotOfNumbersAndErrors()
    {
        const QString path = QStringLiteral("/logs/dpv1-session.log");
        ParameterHistoryWindow window(1000, path);
        QCOMPARE(window.windowTitle(), QStringLiteral("Parameter 1000 - dpv1-session.log"));
        window.resize(900, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList lines = sampleLines(QStringLiteral("dpv1-session.log"));
        window.scan(listReader(lines), lines.size());
        QVERIFY(finish(window));
        HistoryPlot *plot = window.plot();
        QCOMPARE(plot->pointCount(HistoryPlot::Written), 2);
        QCOMPARE(plot->pointCount(HistoryPlot::ReadBack), 1);
        QCOMPARE(plot->pointCount(HistoryPlot::Errors), 1);
        // The list read's "3 values { ... }" is not plotted.
        QVERIFY(window.plotNoteLabel()->isVisibleTo(&window));

        // Hovering a point shows its row (a move through the window, as the system sends it).
        const QPoint written = plot->pointPosition(HistoryPlot::Written, 1);
        QTest::mouseMove(window.windowHandle(),
                         window.chartView()->viewport()->mapTo(&window, written));
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QStringLiteral("Line: 24\n")));
        QVERIFY(QToolTip::text().contains(QStringLiteral("Value: 65535")));

        QSignalSpy requested(&window, &ParameterHistoryWindow::lineRequested);
        const int errorRow = plot->rowOfPoint(HistoryPlot::Errors, 0);
        QTest::mouseClick(window.chartView()->viewport(), Qt::LeftButton, {},
                          plot->pointPosition(HistoryPlot::Errors, 0));
        QTRY_COMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(0).toLongLong(), window.model()->rows().at(errorRow).line);
        QCOMPARE(window.model()->rows().at(errorRow).error, QStringLiteral("Writing error"));
    }

    void nonNumericValuesLeaveThePlotEmpty()
    {
        const QStringList lines = sampleLines(QStringLiteral("dpv1-session.log"));
        ParameterHistoryWindow window(1004, QStringLiteral("dpv1-session.log"));
        window.scan(listReader(lines), lines.size());
        QVERIFY(finish(window));
        QCOMPARE(window.model()->rowCount(), 2);
        QCOMPARE(window.plot()->pointCount(HistoryPlot::ReadBack), 0);
        QCOMPARE(window.plot()->pointCount(HistoryPlot::Written), 0);
        QVERIFY(window.plotNoteLabel()->isVisibleTo(&window));
        QVERIFY(window.plotNoteLabel()->text().contains(QStringLiteral("not numbers")));
    }

    // Ctrl+Shift+C copies the whole table; commas and quotes in fields survive.
    void copyAsCsv()
    {
        const QStringList lines{
            "[Comm] DPV1 Request: [FF 01 00 03 10 01 03 E8 00 00 10 01 03 E9 00 00 10 01 03 E8 "
            "00 02]",
            "[Comm] DPV1 Received: [FF 01 00 03 06 01 05 DC 05 01 2A 00 09 05 50 75 6D 70 20]"};
        ParameterHistoryWindow window(1000, QStringLiteral("list.log"));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.scan(listReader(lines), lines.size());
        QVERIFY(finish(window));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        // The shortcut clicks the button, which takes a moment to come up again.
        QTRY_VERIFY(!QGuiApplication::clipboard()->text().isEmpty());
        // The columns and quoting of telvane-decode's CSV, the table's texts in them.
        const QVector<QStringList> records = testsupport::parseCsv(QGuiApplication::clipboard()->text());
        QCOMPARE(records.size(), window.model()->rowCount() + 1);
        QCOMPARE(records.at(0), QStringList({"line", "time", "protocol", "address", "kind",
                                             "direction", "parameter", "index", "value", "error"}));
        const int shownColumns[] = {historytext::Line,  historytext::Time, historytext::Protocol,
                                    historytext::Address, historytext::Kind};
        for (int row = 1; row < records.size(); ++row) {
            QCOMPARE(records.at(row).size(), records.at(0).size());
            for (int i = 0; i < 5; ++i)
                QCOMPARE(records.at(row).at(i), cellText(window, row - 1, shownColumns[i]));
            QCOMPARE(records.at(row).at(6), QStringLiteral("1000"));
        }
        QCOMPARE(records.at(1).at(5), QStringLiteral("sent"));
        QCOMPARE(records.at(1).at(7), QStringLiteral("0, 2"));
        QCOMPARE(records.at(2).at(8),
                 QStringLiteral("3 values { 1500 42 \"Pump \" }"));
    }

    // Rows of lines that arrive later follow those found; the result is that of the whole log.
    void followAppendsRows()
    {
        const QStringList lines = sampleLines(QStringLiteral("serial-session.log"));
        QStringList shown = lines.mid(0, 30);
        ParameterHistoryWindow window(564, QStringLiteral("serial-session.log"));
        window.scan(
            [&shown](qint64 first, qint64 count) { return shown.mid(int(first), int(count)); },
            shown.size());
        QVERIFY(finish(window));
        const int before = window.model()->rowCount();
        shown = lines;
        window.setLineCount(shown.size());
        QVERIFY(finish(window));
        QVERIFY(window.model()->rowCount() > before);
        const HistoryRows expected = referenceRows(lines, 564);
        QCOMPARE(window.model()->rows().size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(rowText(window.model()->rows().at(i)), rowText(expected.at(i)));
    }
};

QTEST_MAIN(TestParameterHistoryWindow)
#include "tst_parameterhistorywindow.moc"
