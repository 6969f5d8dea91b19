#include "app/applicationsettings.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "searchcore/finding.h"

#include <QPainter>
#include <QStandardPaths>
#include <QtTest>

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
        for (int i = 0; i < lines.size(); ++i) {
            const Finding finding(nullptr, i + 10, lines.at(i), column, length, 7u,
                                  100 * i + column + length);
            window->onResultFound(finding);
        }
        window->onSearchEnd(lines.size());
    }
    QString background(int row) const
    {
        return qvariant_cast<QColor>(list()->item(row)->data(Qt::BackgroundRole)).name();
    }
    int lineType(int row) const
    {
        return list()->item(row)->data(SearchResultsList::LineTypeRole).toInt();
    }

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

    void form()
    {
        QCOMPARE(window->objectName(), QStringLiteral("searchResults"));
        QCOMPARE(list()->objectName(), QStringLiteral("resultsList"));
        QVERIFY(!list()->alternatingRowColors());
        QCOMPARE(list()->font().family(), ApplicationSettings::textFont().family());
        QCOMPARE(list()->font().pointSize(), ApplicationSettings::textFont().pointSize());
    }

    void rowsOfOneSearch()
    {
        QVERIFY(!window->isVisible());
        addSearch(QStringLiteral("41 42"), {"x: 41 42", "\u00e4 41 42 y", "41 42"}, 3, 5);
        QVERIFY(window->isVisible());
        QCOMPARE(list()->count(), 5);
        const QStringList texts = {"Text to search: 41 42\nFilename: /logs/a.log",
                                   "    Line 10: x: 41 42", "    Line 11: \u00e4 41 42 y",
                                   "    Line 12: 41 42", "Summary: Found 3 matches"};
        const QStringList colours = {"#c8fdc6", "#e1fffc", "#ffffff", "#e1fffc", "#fec7c9"};
        const QList<int> types = {SearchResultsList::HeaderLine, SearchResultsList::ResultLine,
                                  SearchResultsList::ResultLine, SearchResultsList::ResultLine,
                                  SearchResultsList::SummaryLine};
        for (int row = 0; row < 5; ++row) {
            QCOMPARE(list()->item(row)->text(), texts.at(row));
            QCOMPARE(background(row), colours.at(row));
            QCOMPARE(lineType(row), types.at(row));
            QCOMPARE(list()->item(row)->data(SearchResultsList::LineTypeRole).userType(),
                     qMetaTypeId<SearchResultsList::LineType>());
        }
        QListWidgetItem *second = list()->item(2);
        QCOMPARE(second->data(SearchResultsList::ColumnRole).toInt(), 3);
        QCOMPARE(second->data(SearchResultsList::LengthRole).toInt(), 5);
        QCOMPARE(second->data(SearchResultsList::LineNumberRole).toInt(), 11);
        QCOMPARE(second->data(SearchResultsList::FieldIdRole).toUInt(), 7u);
        QCOMPARE(second->data(SearchResultsList::PositionRole).toInt(), 108);
        QVERIFY(!list()->item(0)->data(SearchResultsList::PositionRole).isValid());
    }

    void emptySearchAndAccumulation()
    {
        addSearch(QStringLiteral("zz"), {});
        QCOMPARE(list()->count(), 2);
        QCOMPARE(list()->item(1)->text(), QStringLiteral("Summary: Found 0 matches"));
        addSearch(QStringLiteral("a"), {"a", "ba"});
        addSearch(QStringLiteral("b"), {"b", "bb", "bbb"});
        QCOMPARE(list()->count(), 2 + 4 + 5);
        QCOMPARE(list()->item(2)->text(),
                 QStringLiteral("Text to search: a\nFilename: /logs/a.log"));
        // The parity counts every row above, earlier searches included.
        for (const int row : {3, 4, 7, 8, 9})
            QCOMPARE(background(row), row % 2 ? QStringLiteral("#e1fffc") : "#ffffff");
        QCOMPARE(list()->item(10)->text(), QStringLiteral("Summary: Found 3 matches"));
        window->onPushButtonClearPressed();
        QCOMPARE(list()->count(), 0);
        addSearch(QStringLiteral("a"), {"a"});
        QCOMPARE(background(1), QStringLiteral("#e1fffc"));
    }

    // Only result rows ask to go to their match, with the finding they were made from.
    void doubleClickAsksForResultRowsOnly()
    {
        window->show();
        addSearch(QStringLiteral("a"), {"xa", "a"}, 1, 1);
        QList<QVector<int>> requests;
        connect(list(), &SearchResultsList::goToRequested, this, [&requests](const Finding &f) {
            requests.append({f.lineNumber, f.column, f.length, int(f.fieldId), f.position});
        });
        for (int row = 0; row < list()->count(); ++row) {
            const QRect rect = list()->visualItemRect(list()->item(row));
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        }
        const QList<QVector<int>> expected{{10, 1, 1, 7, 2}, {11, 1, 1, 7, 102}};
        QCOMPARE(requests, expected);
        QCOMPARE(list()->count(), 4);
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
    }

    void delegateHighlightsTheMatch()
    {
        QFETCH(QString, line);
        window->resize(1400, 300);
        window->show();
        const int column = line.indexOf(QLatin1String("XYZ"));
        addSearch(QStringLiteral("XYZ"), {line}, column, 3);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QImage image = list()->viewport()->grab().toImage();
        const QRect header = list()->visualItemRect(list()->item(0));
        const QRect row = list()->visualItemRect(list()->item(1));
        QVERIFY(header.height() > row.height()); // two lines against one

        // Where the match's ink lands: the columns in which the row drawn with and without the
        // match's characters differ.
        QListWidgetItem *result = list()->item(1);
        result->setText(result->text().replace(QLatin1String("XYZ"), QLatin1String("   ")));
        const QImage without = list()->viewport()->grab().toImage();
        int inkLeft = INT_MAX, inkRight = -1;
        for (int x = row.left(); x <= row.right(); ++x) {
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
        for (int x = 0; x < row.width(); ++x) {
            if (isYellow(x)) {
                yellowLeft = qMin(yellowLeft, x);
                yellowRight = qMax(yellowRight, x);
            }
        }
        QVERIFY2(yellowLeft <= inkLeft + 1 && yellowRight >= inkRight - 1 &&
                     yellowRight - yellowLeft <= (inkRight - inkLeft) * 3 / 2 + 2,
                 qPrintable(QStringLiteral("ink %1..%2, highlight %3..%4")
                                .arg(inkLeft)
                                .arg(inkRight)
                                .arg(yellowLeft)
                                .arg(yellowRight)));
        QCOMPARE(image.pixelColor(row.left() + 1, y).name(), QStringLiteral("#e1fffc"));
        QCOMPARE(image.pixelColor(row.right() - 2, y).name(), QStringLiteral("#e1fffc"));
        QCOMPARE(image.pixelColor(header.right() - 2, header.center().y()).name(),
                 QStringLiteral("#c8fdc6"));
    }
};

QTEST_MAIN(TestSearchResults)
#include "tst_searchresults.moc"
