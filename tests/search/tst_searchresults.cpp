// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "search/searchresultslist.h"
#include "search/searchresultsmodel.h"
#include "search/searchresultwindow.h"
#include "searchcore/finding.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestSearchResults : public QObject
{
    Q_OBJECT

private:
    SearchResultWindow *window = nullptr;
    SearchResultsList *list() const { return window->resultsList(); }

    void addSearch(const QString &searchText, const QStringList &lines, int column = 0,
                   int length = 1)
    {
        window->onSearchStarted(QStringLiteral("/logs/a.log"), searchText);
        FoundBatch batch;
        for (int i = 0; i < lines.size(); ++i) {
            batch.findings.append(Finding{i + 10, 100 * i + column + length, column, length, 7u});
            batch.longestLine = qMax(batch.longestLine, lines.at(i).size());
        }
        batch.lineText = [lines](qint64 lineNumber) { return lines.value(int(lineNumber) - 10); };
        window->onResultsFound(batch);
        window->onSearchEnd(lines.size());
    }
    // A search whose matches come as one batch, line i of `lines` being line number i + 1.
    void addBatchSearch(const QStringList &lines, const QVector<Finding> &records,
                        const std::shared_ptr<bool> &linesAlive = nullptr)
    {
        window->onSearchStarted(QStringLiteral("/logs/b.log"), QStringLiteral("b"));
        FoundBatch batch;
        batch.findings = records;
        for (const QString &line : lines)
            batch.longestLine = qMax(batch.longestLine, line.size());
        batch.lineText = [lines, linesAlive](qint64 lineNumber) {
            return !linesAlive || *linesAlive ? lines.value(int(lineNumber) - 1) : QString();
        };
        window->onResultsFound(batch);
        window->onSearchEnd(records.size());
    }
    QVariant data(int row, int role) const { return list()->index(row).data(role); }
    QString text(int row) const { return data(row, Qt::DisplayRole).toString(); }
    QString background(int row) const
    {
        return qvariant_cast<QColor>(data(row, Qt::BackgroundRole)).name();
    }
    int lineType(int row) const { return data(row, SearchResultsList::LineTypeRole).toInt(); }
    // Rows `from` to `to` as their background colours and texts.
    QStringList rows(int from, int to) const
    {
        QStringList shown;
        for (int row = from; row <= to; ++row)
            shown << background(row) + QLatin1Char(' ') + text(row);
        return shown;
    }
    QRect rowRect(int row) const { return list()->visualRect(list()->index(row)); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        window = new SearchResultWindow;
        window->resize(600, 300);
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void rowsOfOneSearch()
    {
        QVERIFY(!window->isVisible());
        addSearch(QStringLiteral("41 42"), {"x: 41 42", "\u00e4 41 42 y", "41 42"}, 3, 5);
        QVERIFY(window->isVisible());
        QCOMPARE(list()->font().toString(), ApplicationSettings::textFont().toString());
        QCOMPARE(list()->count(), 5);
        QCOMPARE(
            rows(0, 4),
            QStringList({"#c8fdc6 Text to search: 41 42\nFilename: /logs/a.log",
                         "#e1fffc     Line 10: x: 41 42", "#ffffff     Line 11: \u00e4 41 42 y",
                         "#e1fffc     Line 12: 41 42", "#fec7c9 Summary: Found 3 matches"}));
        QCOMPARE(QList<int>({lineType(0), lineType(3), lineType(4)}),
                 QList<int>({SearchResultsList::HeaderLine, SearchResultsList::ResultLine,
                             SearchResultsList::SummaryLine}));
        QCOMPARE(data(1, SearchResultsList::LineTypeRole).userType(),
                 qMetaTypeId<SearchResultsList::LineType>());
        QCOMPARE(data(2, SearchResultsList::ColumnRole).toInt(), 3);
        QCOMPARE(data(2, SearchResultsList::LengthRole).toInt(), 5);
        QCOMPARE(data(2, SearchResultsList::LineNumberRole).toInt(), 11);
        QCOMPARE(data(2, SearchResultsList::FieldIdRole).toUInt(), 7u);
        QCOMPARE(data(2, SearchResultsList::PositionRole).toInt(), 108);
        QVERIFY(!data(0, SearchResultsList::PositionRole).isValid());
        QVERIFY(!data(4, SearchResultsList::LineNumberRole).isValid());
    }

    void emptySearchAndAccumulation()
    {
        addSearch(QStringLiteral("zz"), {});
        QCOMPARE(list()->count(), 2);
        QCOMPARE(text(1), QStringLiteral("Summary: Found 0 matches"));
        addSearch(QStringLiteral("a"), {"a", "ba"});
        addSearch(QStringLiteral("b"), {"b", "bb", "bbb"});
        QCOMPARE(list()->count(), 2 + 4 + 5);
        // The parity counts every row above, earlier searches included.
        QCOMPARE(rows(2, 4), QStringList({"#c8fdc6 Text to search: a\nFilename: /logs/a.log",
                                          "#e1fffc     Line 10: a", "#ffffff     Line 11: ba"}));
        QCOMPARE(rows(9, 10),
                 QStringList({"#e1fffc     Line 12: bbb", "#fec7c9 Summary: Found 3 matches"}));
        window->onPushButtonClearPressed();
        QCOMPARE(list()->count(), 0);
        addSearch(QStringLiteral("a"), {"a"});
        QCOMPARE(background(1), QStringLiteral("#e1fffc"));
    }

    // Batch rows keep numbers only and read their lines when shown; the texts go with the log.
    void batchRowsReadTheirLines()
    {
        addSearch(QStringLiteral("a"), {"a"});
        const QStringList lines = {"one a", "two", "a three a"};
        const auto alive = std::make_shared<bool>(true);
        addBatchSearch(lines, {{1, 5, 4, 1, 3u}, {3, 17, 0, 1, 3u}, {3, 25, 8, 1, 3u}}, alive);
        QCOMPARE(list()->count(), 3 + 5);
        QCOMPARE(
            rows(4, 7),
            QStringList({"#ffffff     Line 1: one a", "#e1fffc     Line 3: a three a",
                         "#ffffff     Line 3: a three a", "#fec7c9 Summary: Found 3 matches"}));
        QCOMPARE(text(3), QStringLiteral("Text to search: b\nFilename: /logs/b.log"));
        QCOMPARE(data(6, SearchResultsList::ColumnRole).toInt(), 8);
        QCOMPARE(data(6, SearchResultsList::PositionRole).toInt(), 25);
        QCOMPARE(data(6, SearchResultsList::FieldIdRole).toUInt(), 3u);
        QCOMPARE(text(1), QStringLiteral("    Line 10: a")); // kept with its row

        *alive = false;
        QCOMPARE(text(4), QStringLiteral("    Line 1: "));
        QCOMPARE(text(1), QStringLiteral("    Line 10: a"));
    }

    // Headers are two lines high, every other row one; every row is found where it is drawn,
    // also far down a long list and after scrolling there.
    void rowGeometry()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        addSearch(QStringLiteral("a"), {"a", "a"});
        QVector<Finding> records;
        for (int i = 1; i <= 5000; ++i)
            records.append({i, i * 2, 0, 1, 0u});
        addBatchSearch({}, records);
        addSearch(QStringLiteral("c"), {"c"});
        const int line = rowRect(1).height();
        QVERIFY(line > 0);
        const QList<int> headers = {0, 4, 5006};
        int expectedTop = 0;
        for (int row = 0; row < list()->count(); ++row) {
            const int height = headers.contains(row) ? 2 * line : line;
            QCOMPARE(rowRect(row).top(), expectedTop);
            QCOMPARE(rowRect(row).height(), height);
            expectedTop += height;
        }
        for (const int row : {0, 1, 3, 4, 5, 2500, 5005, 5006, 5007, 5008}) {
            list()->scrollTo(list()->index(row), QAbstractItemView::PositionAtCenter);
            const QRect rect = rowRect(row);
            QVERIFY(list()->viewport()->rect().intersects(rect));
            QCOMPARE(list()->indexAt(rect.topLeft()).row(), row);
            QCOMPARE(list()->indexAt(rect.bottomLeft()).row(), row);
        }
        list()->scrollToBottom();
        QVERIFY(list()->viewport()->rect().contains(rowRect(list()->count() - 1)));
        QVERIFY(!list()->indexAt(QPoint(1, rowRect(list()->count() - 1).bottom() + 2)).isValid());

        // The keyboard walks the rows.
        list()->setFocus();
        list()->setCurrentIndex(list()->index(3));
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(list()->currentIndex().row(), 4);
        QTest::keyClick(list(), Qt::Key_End);
        QCOMPARE(list()->currentIndex().row(), list()->count() - 1);
    }

    void progressAndCancel()
    {
        // Without anyone to cancel the search there is no Cancel.
        window->onSearchStarted(QStringLiteral("a.log"), QStringLiteral("x"));
        QVERIFY(window->searchProgressLabel()->isVisible());
        QVERIFY(!window->cancelSearchButton()->isVisible());
        window->onPushButtonClearPressed(); // a search that never ends is forgotten
        QVERIFY(!window->isSearchRunning());
        QVERIFY(!window->searchProgressLabel()->isVisible());

        // With a listener, as the main window is, Cancel shows (its click: the end-to-end test).
        QSignalSpy cancels(window, &SearchResultWindow::cancelRequested);
        window->onSearchStarted(QStringLiteral("a.log"), QStringLiteral("x"));
        QVERIFY(window->isSearchRunning() && window->cancelSearchButton()->isVisible());
        QCOMPARE(window->searchProgressLabel()->text(), QStringLiteral("Searching... 0%"));
        window->setSearchProgress(45);
        QCOMPARE(window->searchProgressLabel()->text(), QStringLiteral("Searching... 45%"));
        window->onSearchEnd(4);
        QVERIFY(!window->isSearchRunning());
        QVERIFY(!window->searchProgressLabel()->isVisible());
        QVERIFY(!window->cancelSearchButton()->isVisible());
    }

    // A new search or Clear while one runs asks for its end first; the ended search keeps its
    // rows together under its header.
    void runningSearchEndsBeforeTheNextOne()
    {
        QSignalSpy cancels(window, &SearchResultWindow::cancelRequested);
        connect(window, &SearchResultWindow::cancelRequested, window,
                [this] { window->onSearchEnd(1); });
        window->onSearchStarted(QStringLiteral("a.log"), QStringLiteral("x"));
        FoundBatch batch;
        batch.findings.append(Finding{1, 1, 0, 1, 0u});
        batch.lineText = [](qint64) { return QStringLiteral("x"); };
        window->onResultsFound(batch);
        window->onSearchStarted(QStringLiteral("b.log"), QStringLiteral("y"));
        QCOMPARE(cancels.count(), 1);
        QCOMPARE(list()->count(), 4);
        QCOMPARE(text(2), QStringLiteral("Summary: Found 1 matches"));
        QCOMPARE(lineType(3), int(SearchResultsList::HeaderLine));
        window->onPushButtonClearPressed();
        QCOMPARE(cancels.count(), 2);
        QCOMPARE(list()->count(), 0);
        QVERIFY(!window->isSearchRunning());
        window->onPushButtonClearPressed();
        QCOMPARE(cancels.count(), 2);
    }

    void delegateHighlightsTheMatch_data()
    {
        QTest::addColumn<QString>("line");
        // The log lines hold ": " themselves and the match stands far along, where any drift of
        // the highlight against the drawn text adds up; tabs jump to tab stops.
        QTest::newRow("long line")
            << QStringLiteral("2020-12-16 10:54:21.072 [Comm] Sent to COM3: "
                              "[02 0E 05 12 34 00 00 00 00 XYZ 00 04 7F 00]");
        QTest::newRow("tabs") << QStringLiteral("2020-12-16 10:54:21.072 [Comm]\tSent\tto COM3: "
                                                "XYZ [02 0E]");
        // Too long to lay out whole: the row is cut, and the match is brought into view.
        QTest::newRow("huge line, match far along")
            << QString(3000000, QLatin1Char('7')) + QStringLiteral(" XYZ 1");
    }

    void delegateHighlightsTheMatch()
    {
        QFETCH(QString, line);
        window->resize(1400, 300);
        window->show();
        const int column = line.indexOf(QLatin1String("XYZ"));
        addSearch(QStringLiteral("XYZ"), {line}, column, 3);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QElapsedTimer clock;
        clock.start();
        const QImage image = list()->viewport()->grab().toImage();
        QVERIFY(clock.elapsed() < 1000);
        const QRect header = rowRect(0);
        const QRect row = rowRect(1);
        QVERIFY(header.height() > row.height()); // two lines against one

        // Where the match's ink lands: the columns in which the row drawn with and without the
        // match's characters differ.
        window->onPushButtonClearPressed();
        addSearch(QStringLiteral("XYZ"),
                  {QString(line).replace(QLatin1String("XYZ"), QLatin1String("   "))}, column, 3);
        const QImage without = list()->viewport()->grab().toImage();
        int inkLeft = INT_MAX, inkRight = -1;
        for (int x = row.left(); x <= qMin(row.right(), image.width() - 1); ++x) {
            for (int y = row.top(); y <= row.bottom(); ++y) {
                if (image.pixel(x, y) != without.pixel(x, y)) {
                    inkLeft = qMin(inkLeft, x - row.left());
                    inkRight = qMax(inkRight, x - row.left());
                }
            }
        }
        QVERIFY(inkRight > inkLeft);

        const int y = row.center().y();
        const auto isYellow = [&](int x) {
            const QColor c = image.pixelColor(row.left() + x, y);
            return c.red() > 200 && c.green() > 200 && c.blue() < 100;
        };
        int yellowLeft = INT_MAX, yellowRight = -1;
        for (int x = 0; x < qMin(row.width(), image.width()); ++x) {
            if (isYellow(x)) {
                yellowLeft = qMin(yellowLeft, x);
                yellowRight = qMax(yellowRight, x);
            }
        }
        QVERIFY2(yellowLeft <= inkLeft + 1 && yellowRight >= inkRight - 1 &&
                     yellowRight - yellowLeft <= (inkRight - inkLeft) * 3 / 2 + 2,
                 qPrintable(QString::asprintf("ink %d..%d, highlight %d..%d", inkLeft, inkRight,
                                              yellowLeft, yellowRight)));
        QCOMPARE(image.pixelColor(row.left() + 1, y).name(), QStringLiteral("#e1fffc"));
        const int right = list()->viewport()->width() - 2;
        if (line.size() < 150) // else the text reaches the right edge
            QCOMPARE(image.pixelColor(right, y).name(), QStringLiteral("#e1fffc"));
        QCOMPARE(image.pixelColor(right, header.center().y()).name(), QStringLiteral("#c8fdc6"));
    }
};

QTEST_MAIN(TestSearchResults)
#include "tst_searchresults.moc"
