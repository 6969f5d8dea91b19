// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "searchcore/findallscan.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>

namespace
{
// A user's double-click: QTest's own sends only the second click of the pair.
void doubleClick(SearchResultsList *list, int row)
{
    const QPoint centre = list->visualRect(list->index(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

// The bar's buttons act on the press.
void click(QWidget *button)
{
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
}
} // namespace

// The main window with two panels, driven through the search bar and the results pane.
class TestSearchEndToEnd : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    Telvane *window = nullptr;
    QString first, second;

    template <typename T> T *barChild(const char *name) const
    {
        return window->searchBar()->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *lineEdit() const { return barChild<QLineEdit>("lineEditSearchText"); }
    SearchResultsList *list() const { return window->searchResultWindow()->resultsList(); }
    QString rowText(int row) const { return list()->index(row).data().toString(); }
    VisualizedTextEdit *edit(unsigned id) const { return window->fieldById(id)->textEdit(); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(dir.isValid());
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines << QStringLiteral("2020-12-16 10:54:%1 [Comm] Received: [%2 02 00 00]")
                         .arg(i % 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 3 == 0 ? QStringLiteral("01") : QStringLiteral("61"));
        first = dir.filePath(QStringLiteral("first.log"));
        second = dir.filePath(QStringLiteral("second.log"));
        QVERIFY(testsupport::writeFile(first, lines.join(QLatin1Char('\n')).toUtf8()));
        QVERIFY(testsupport::writeFile(second, "nothing here\nReceived once"));
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"), first);
        window = new Telvane(false);
        window->resize(1100, 800);
        QVERIFY(QMetaObject::invokeMethod(window, "createFields", Q_ARG(QStringList, {second})));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->fieldById(0) && window->fieldById(1));
        QVERIFY(window->fieldById(0)->isActive());
    }

    void cleanupTestCase() { delete window; }

    void typingSelectsInTheActivePanelOnly()
    {
        VisualizedTextEdit *view = edit(0);
        view->moveCursor(QTextCursor::Start);
        QTest::keyClicks(lineEdit(), QStringLiteral("Rec"));
        QCOMPARE(view->textCursor().selectedText(), QStringLiteral("Rec"));
        QCOMPARE(view->textCursor().blockNumber(), 0);
        QTest::keyClicks(lineEdit(), QStringLiteral("eived"));
        QCOMPARE(view->textCursor().selectedText(), QStringLiteral("Received"));
        QCOMPARE(view->textCursor().blockNumber(), 0); // grown in place
        QVERIFY(!edit(1)->textCursor().hasSelection());

        QTest::keyClick(lineEdit(), Qt::Key_Return);
        QCOMPARE(view->textCursor().blockNumber(), 1);
        QTest::keyClick(lineEdit(), Qt::Key_Up);
        QTest::keyClick(lineEdit(), Qt::Key_Up);
        QCOMPARE(view->textCursor().blockNumber(), 299); // wrapped backwards
        QCOMPARE(lineEdit()->palette().color(QPalette::Text), QColor(Qt::black));

        QTest::keyClick(lineEdit(), Qt::Key_X);
        QCOMPARE(lineEdit()->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(view->textCursor().blockNumber(), 299);
        QVERIFY(!view->textCursor().hasSelection());
        QTest::keyClick(lineEdit(), Qt::Key_Backspace);
        QCOMPARE(lineEdit()->palette().color(QPalette::Text), QColor(Qt::black));
        lineEdit()->clear();
    }

    void findAllFillsThePaneAndDoubleClickGoesBack()
    {
        window->searchResultWindow()->onPushButtonClearPressed();
        window->searchResultWindow()->hide();
        QTest::mouseClick(barChild<QCheckBox>("checkBoxMatchCase"), Qt::LeftButton);
        QTest::keyClicks(lineEdit(), QStringLiteral("Received"));
        click(barChild<QPushButton>("pushButtonFindAll"));
        QVERIFY(window->searchResultWindow()->isVisible());
        QTRY_COMPARE(list()->count(), 302);
        QCOMPARE(rowText(0), QStringLiteral("Text to search: Received\nFilename: ") + first);
        QCOMPARE(
            rowText(151),
            QStringLiteral("    Line 151: 2020-12-16 10:54:30 [Comm] Received: [01 02 00 00]"));
        QCOMPARE(rowText(301), QStringLiteral("Summary: Found 300 matches"));

        // Show/Hide and Clear Results are wired by the main window.
        QPushButton *showOrHide = window->searchBar()->showOrHideButton();
        click(showOrHide);
        QVERIFY(!window->searchResultWindow()->isVisible());
        QCOMPARE(showOrHide->text(), QStringLiteral("Show Results"));
        click(showOrHide);
        QVERIFY(window->searchResultWindow()->isVisible());
        QCOMPARE(showOrHide->text(), QStringLiteral("Hide Results"));

        VisualizedTextEdit *view = edit(0);
        view->moveCursor(QTextCursor::Start);
        const int row = 151; // line 151
        list()->scrollTo(list()->index(row));
        for (int click = 0; click < 2; ++click) {
            doubleClick(list(), row);
            QCOMPARE(view->textCursor().blockNumber(), 150);
            QCOMPARE(view->textCursor().selectedText(), QStringLiteral("Received"));
            view->moveCursor(QTextCursor::End);
        }
        // Header and summary rows do nothing.
        view->moveCursor(QTextCursor::Start);
        list()->scrollToTop();
        doubleClick(list(), 0);
        QVERIFY(!view->textCursor().hasSelection());
        QCOMPARE(view->textCursor().position(), 0);

        click(window->searchBar()->clearResultsButton());
        QCOMPARE(list()->count(), 0);
    }

    // A find-all goes on from the event loop: the pane fills while it runs and shows how far
    // it has come, and the search bar takes keys meanwhile. Cancel ends it with the rows found
    // so far above the summary.
    void findAllGoesOnWhileTheWindowResponds()
    {
        SearchResultWindow *pane = window->searchResultWindow();
        pane->onPushButtonClearPressed();
        FindAllScan *scan = edit(0)->findChild<FindAllScan *>();
        scan->setSliceMilliseconds(0);
        lineEdit()->setText(QStringLiteral("Received"));
        click(barChild<QPushButton>("pushButtonFindAll"));
        QVERIFY(scan->isRunning());
        QTest::mouseClick(pane->cancelSearchButton(), Qt::LeftButton);
        QVERIFY(!scan->isRunning() && !pane->isSearchRunning());
        const int rows = list()->count();
        QVERIFY(rows > 2 && rows < 302);
        QCOMPARE(rowText(rows - 1),
                 QStringLiteral("Summary: Cancelled after %1 matches were found").arg(rows - 2));
        QVERIFY(rowText(rows - 2).startsWith(QStringLiteral("    Line %1: ").arg(rows - 2)));

        pane->onPushButtonClearPressed();
        click(barChild<QPushButton>("pushButtonFindAll"));
        QVERIFY(scan->isRunning());
        QVERIFY(list()->count() < 302);
        QVERIFY(window->searchResultWindow()->searchProgressLabel()->isVisible());
        QTest::keyClicks(lineEdit(), QStringLiteral(":"));
        QCOMPARE(lineEdit()->text(), QStringLiteral("Received:"));
        QTRY_COMPARE(list()->count(), 302);
        QVERIFY(!window->searchResultWindow()->searchProgressLabel()->isVisible());
        QCOMPARE(rowText(301), QStringLiteral("Summary: Found 300 matches"));
        QCOMPARE(
            rowText(300),
            QStringLiteral("    Line 300: 2020-12-16 10:54:59 [Comm] Received: [61 02 00 00]"));
        scan->setSliceMilliseconds(20);
        lineEdit()->clear();
        window->searchResultWindow()->onPushButtonClearPressed();
    }

    void rowsOfAClosedPanelDoNothing()
    {
        // Make the second panel active by a click, search it, then close it.
        QTest::mouseClick(edit(1)->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(window->fieldById(1)->isActive());
        QVERIFY(!window->fieldById(0)->isActive());
        lineEdit()->setText(QStringLiteral("Received"));
        window->searchBar()->searchAll();
        QTRY_COMPARE(list()->count(), 3);
        QCOMPARE(list()->index(1).data(SearchResultsList::FieldIdRole).toUInt(), 1u);
        QTest::mouseClick(
            window->fieldById(1)->findChild<QPushButton *>(QStringLiteral("pushButtonCloseField")),
            Qt::LeftButton);
        QTRY_VERIFY(!window->fieldById(1));
        doubleClick(list(), 1);
        QCOMPARE(list()->count(), 3);
    }
};

QTEST_MAIN(TestSearchEndToEnd)
#include "tst_searchendtoend.moc"
