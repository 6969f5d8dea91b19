#include "app/applicationsettings.h"
#include "search/searchstate.h"
#include "telegram/telegramrecord.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/lineicons.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QScrollBar>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <memory>

namespace
{
const QString dpv1Read = QStringLiteral("12:00:01.100 [Comm] Send [FF 01 00 01 10 01 03 E8 00 00]");
const QString tlRead =
    QStringLiteral("12:00:01.200 [Comm] Send [02 0E 05 12 34 00 00 00 00 01 F4 00 00 00 00 00]");
const QString separator = QStringLiteral(
    "\n------------------------------ Data context ------------------------------\n");

QString plainLine(int number)
{
    return QStringLiteral("12:00:00.%1 state %2").arg(number, 3, 10, QLatin1Char('0')).arg(number);
}

QString receivedData(const char *bytes, const char *word = "Received")
{
    return QStringLiteral("12:00:02.000 [Comm] %1 [%2]")
        .arg(QLatin1String(word), QLatin1String(bytes));
}

// Lines 1 to `count` as plain log lines, with the given 1-based lines replaced.
QStringList logLines(int count, const QMap<int, QString> &replaced)
{
    QStringList lines;
    for (int number = 1; number <= count; ++number)
        lines << replaced.value(number, plainLine(number));
    return lines;
}

std::unique_ptr<VisualizedTextEdit> shownView(const QStringList &lines, int stripWidth = 400)
{
    auto view = std::make_unique<VisualizedTextEdit>();
    view->resize(900, 420);
    view->setVisualizedTextAreaWidth(stripWidth);
    view->setPlainText(lines.join(QLatin1Char('\n')));
    QSignalSpy first(view.get(), &VisualizedTextEdit::visualizeLineSelected);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    // The first strip paint announces the initial selection; tests start after it.
    if (!QTest::qWaitFor([&] { return first.count() > 0; }))
        return nullptr;
    QCoreApplication::processEvents();
    return view;
}

void selectLine(VisualizedTextEdit *view, int blockNumber)
{
    view->setTextCursor(QTextCursor(view->document()->findBlockByNumber(blockNumber)));
}

// The screen row of a block, in the coordinates of the side areas (their top is the viewport's).
QRect row(VisualizedTextEdit *view, int blockNumber)
{
    return view->cursorRect(QTextCursor(view->document()->findBlockByNumber(blockNumber)));
}

int rowCenter(VisualizedTextEdit *view, int blockNumber)
{
    return row(view, blockNumber).center().y();
}
} // namespace

class TestVisualizedTextEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ApplicationSettings::instance().clear();
    }

    void gutterWidth_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("digits");
        QTest::newRow("empty document has one block") << 0 << 1;
        QTest::newRow("9 lines") << 9 << 1;
        QTest::newRow("10 lines") << 10 << 2;
        QTest::newRow("99 lines") << 99 << 2;
        QTest::newRow("100 lines") << 100 << 3;
        QTest::newRow("10000 lines") << 10000 << 5;
    }

    void gutterWidth()
    {
        QFETCH(int, lines);
        QFETCH(int, digits);
        VisualizedTextEdit view;
        view.resize(600, 300);
        QStringList text;
        for (int i = 0; i < lines; ++i)
            text << QString::number(i);
        view.setPlainText(text.join(QLatin1Char('\n')));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const int expected = 10 + digits * view.fontMetrics().horizontalAdvance(QLatin1Char('9'));
        QCOMPARE(view.lineNumberAreaWidth(), expected);
        // The viewport starts right behind the gutter.
        QCOMPARE(view.viewport()->x(), view.contentsRect().left() + expected);
        QCOMPARE(view.lineNumberWidget()->width(), expected);
    }

    void gutterFollowsTypedLines()
    {
        auto view = shownView(logLines(9, {}));
        QVERIFY(view);
        const int nine = view->fontMetrics().horizontalAdvance(QLatin1Char('9'));
        QCOMPARE(view->lineNumberAreaWidth(), 10 + nine);

        view->moveCursorToEnd();
        QTest::keyClick(view->viewport(), Qt::Key_Return);
        QCOMPARE(view->blockCount(), 10);
        QCOMPARE(view->lineNumberWidget()->width(), 10 + 2 * nine);
        QCOMPARE(view->viewport()->x(), view->contentsRect().left() + 10 + 2 * nine);

        QTest::keyClick(view->viewport(), Qt::Key_Backspace);
        QCOMPARE(view->lineNumberWidget()->width(), 10 + nine);
    }

    void gutterAfterLoad_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("digits");
        const QString hundredFifty = QString(149, QLatin1Char('\n'));
        QTest::newRow("grows to three digits") << "a\nb" << hundredFifty << 3;
        QTest::newRow("shrinks to one digit") << hundredFifty << "a\nb" << 1;
        QTest::newRow("same width") << "1\n2\n3"
                                    << "a\nb" << 1;
        QTest::newRow("trailing line feed starts a line")
            << QString() << "1\n2\n3\n4\n5\n6\n7\n8\n9\n"
            << 2;
        // Carriage returns alone also end lines; the gutter still ends up right.
        QTest::newRow("carriage returns") << QString() << "1\r2\r3\r4\r5\r6\r7\r8\r9\r10" << 2;
        QTest::newRow("empty text") << hundredFifty << QString() << 1;
    }

    void gutterAfterLoad()
    {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QFETCH(int, digits);
        VisualizedTextEdit view;
        view.resize(600, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setLogText(QStringLiteral("before.log"), before);
        view.setLogText(QStringLiteral("after.log"), text);

        const int expected = 10 + digits * view.fontMetrics().horizontalAdvance(QLatin1Char('9'));
        QCOMPARE(view.lineNumberAreaWidth(), expected);
        QCOMPARE(view.viewport()->x(), view.contentsRect().left() + expected);
        QCOMPARE(view.lineNumberWidget()->width(), expected);
        QCOMPARE(view.document()->metaInformation(QTextDocument::DocumentTitle),
                 QStringLiteral("after.log"));
        QCOMPARE(view.toPlainText(), QString(text)
                                         .replace(QLatin1Char('\r'), QChar::ParagraphSeparator)
                                         .replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    }

    void stripWidth()
    {
        auto view = shownView(logLines(5, {}), 250);
        QVERIFY(view);
        VisualizedTextArea *strip = view->visualizedTextWidget();
        QCOMPARE(strip->width(), 250);
        // The strip sits right of the viewport and ends at the frame.
        QCOMPARE(strip->x(), view->viewport()->geometry().right() + 1);
        QCOMPARE(strip->geometry().right(), view->contentsRect().right());

        const int viewportWidth = view->viewport()->width();
        view->setVisualizedTextAreaEnabled(false);
        QCOMPARE(view->visualizedTextAreaWidth(), 0);
        QCOMPARE(strip->width(), 0);
        QCOMPARE(view->viewport()->width(), viewportWidth + 250);

        // Enabling reads the stored width at that moment.
        ApplicationSettings::instance().setVisualizedAreaWidth(321);
        view->setVisualizedTextAreaEnabled(true);
        QCOMPARE(strip->width(), 321);
        ApplicationSettings::instance().remove(QStringLiteral("VisualizedAreaWidth"));
    }

    void detailsText_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("selected"); // 1-based line number
        QTest::addColumn<QString>("details");

        QTest::newRow("plain line shows its text")
            << logLines(5, {}) << 3 << QStringLiteral("Line 3: ") + plainLine(3);
        QTest::newRow("DP-V1 read request")
            << logLines(5, {{2, dpv1Read}}) << 2
            << "Line 2 data: DPV1 \"READING REQUEST\" PARAM=1000.0 ";
        QTest::newRow("TL read request with address")
            << logLines(5, {{4, tlRead}}) << 4
            << "Line 4 data: TL ADDR=5 \"READING REQUEST\" PARAM=564.0 ";
        QTest::newRow("sent data")
            << logLines(3, {{1, receivedData("41 42 43 44 45 46 47", "Send")}}) << 1
            << "Line 1 data: len = 007 [ABCDEFG]";

        const QMap<int, QString> run{
            {10, receivedData("41 42")}, {11, receivedData("43 44")}, {12, receivedData("45 46")}};
        QTest::newRow("received data amid a run")
            << logLines(14, run) << 11 << "Line 11 data: len = 002 [CD]" + separator + "ABCDEF";
        QTest::newRow("received data at the start of a run")
            << logLines(14, run) << 10 << "Line 10 data: len = 002 [AB]" + separator + "ABCDEF";
        QTest::newRow("received data at the end of a run")
            << logLines(14, run) << 12 << "Line 12 data: len = 002 [EF]" + separator + "ABCDEF";
        QTest::newRow("received data at the document's end")
            << logLines(12, run) << 12 << "Line 12 data: len = 002 [EF]" + separator + "ABCDEF";
        QTest::newRow("received data without received neighbours")
            << logLines(14, {{10, receivedData("41 42")}, {12, receivedData("45 46")}}) << 10
            << "Line 10 data: len = 002 [AB]";
        QTest::newRow("misspelt Recieved counts as received")
            << logLines(5, {{2, receivedData("41 42", "Recieved")},
                            {3, receivedData("43 44", "received")}})
            << 2 << "Line 2 data: len = 002 [AB]" + separator + "ABCD";
        QTest::newRow("sent data between received lines gets no context")
            << logLines(5, {{2, receivedData("41 42")},
                            {3, receivedData("43 44", "Send")},
                            {4, receivedData("45 46")}})
            << 3 << "Line 3 data: len = 002 [CD]";
        QTest::newRow("a sent line ends the run")
            << logLines(5, {{2, receivedData("41 42")},
                            {3, receivedData("43 44")},
                            {4, receivedData("45 46", "Send")}})
            << 3 << "Line 3 data: len = 002 [CD]" + separator + "ABCD";
    }

    void detailsText()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, selected);
        QFETCH(QString, details);

        auto view = shownView(lines);
        QVERIFY(view);
        QSignalSpy spy(view.get(), &VisualizedTextEdit::visualizeLineSelected);
        if (view->textCursor().blockNumber() == selected - 1) {
            // Selecting the line that holds the cursor is no change; come from another line.
            selectLine(view.get(), selected);
            QTRY_COMPARE(spy.count(), 1);
            spy.clear();
        }
        selectLine(view.get(), selected - 1);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), details);
    }

    void oneEmissionPerSelectionChange()
    {
        auto view = shownView(logLines(200, {{3, dpv1Read}}));
        QVERIFY(view);
        QSignalSpy spy(view.get(), &VisualizedTextEdit::visualizeLineSelected);

        // Several moves before the next paint: one emission, for the last line.
        selectLine(view.get(), 1);
        QTest::keyClick(view->viewport(), Qt::Key_Down);
        QTest::keyClick(view->viewport(), Qt::Key_Down);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Line 4: ") + plainLine(4));

        // Scrolling, resizing and repainting without a cursor move emit nothing.
        view->verticalScrollBar()->setValue(20);
        view->resize(880, 400);
        view->visualizedTextWidget()->repaint();
        QTest::qWait(50);
        QCOMPARE(spy.count(), 1);

        QTest::keyClick(view->viewport(), Qt::Key_Up);
        QTRY_COMPARE(spy.count(), 2);
    }

    void selectedLineOutsideVisibleRows_data()
    {
        QTest::addColumn<bool>("faultMode");
        QTest::addColumn<bool>("moveCursor");
        QTest::addColumn<QString>("details");
        QTest::newRow("telegram view, scrolled away") << false << true << QString();
        QTest::newRow("fault view, scrolled away") << true << true << "Line 1:";
        QTest::newRow("fault view, before the first cursor move") << true << false << "Line 0:";
    }

    void selectedLineOutsideVisibleRows()
    {
        QFETCH(bool, faultMode);
        QFETCH(bool, moveCursor);
        QFETCH(QString, details);

        std::unique_ptr<Telvane> mainWindow;
        if (faultMode)
            mainWindow = std::make_unique<Telvane>(true);
        VisualizedTextEdit view;
        view.resize(900, 420);
        QSignalSpy spy(&view, &VisualizedTextEdit::visualizeLineSelected);
        if (moveCursor) {
            view.setPlainText(
                logLines(300, {{1, QStringLiteral("INT FAIL,74,a,b")}}).join(QLatin1Char('\n')));
            view.moveCursorToEnd();
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            QTRY_VERIFY(spy.count() > 0);
            spy.clear();
            // The cursor moves to the first line, but the view scrolls away before the paint.
            selectLine(&view, 0);
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        } else {
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
        }
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), details);
    }

    void faultView()
    {
        const auto mainWindow = std::make_unique<Telvane>(true);
        auto view = shownView(logLines(5, {{3, QStringLiteral("INT FAIL,74,a,b")}}));
        QVERIFY(view);
        QSignalSpy spy(view.get(), &VisualizedTextEdit::visualizeLineSelected);
        selectLine(view.get(), 2);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(),
                 QStringLiteral("Line 3: Internal Failure Safe Output Switch 2"));
        selectLine(view.get(), 1);
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("Line 2:"));
    }

    void pressInSideAreaSelectsLine_data()
    {
        QTest::addColumn<bool>("inGutter");
        QTest::addColumn<int>("line"); // 0-based
        QTest::newRow("gutter, first line") << true << 0;
        QTest::newRow("gutter, later line") << true << 6;
        QTest::newRow("strip, telegram line") << false << 2;
        QTest::newRow("strip, plain line") << false << 9;
    }

    void pressInSideAreaSelectsLine()
    {
        QFETCH(bool, inGutter);
        QFETCH(int, line);

        auto view = shownView(logLines(40, {{3, dpv1Read}}));
        QVERIFY(view);
        selectLine(view.get(), 30);
        view->setPalette(QPalette(Qt::red));
        view->searchStateObject()->notFoundText = QStringLiteral("XYZ");
        const QPalette normal = QPalette();
        QSignalSpy activated(view.get(), &VisualizedTextEdit::activated);

        QWidget *area = inGutter ? static_cast<QWidget *>(view->lineNumberWidget())
                                 : static_cast<QWidget *>(view->visualizedTextWidget());
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier,
                          QPoint(area->width() - 3, rowCenter(view.get(), line)));

        QCOMPARE(view->textCursor().blockNumber(), line);
        QCOMPARE(view->textCursor().positionInBlock(), 0);
        QCOMPARE(view->selectedLineNumber(), line);
        QCOMPARE(activated.count(), 1);
        QVERIFY(view->searchStateObject()->notFoundText.isEmpty());
        QCOMPARE(view->palette().color(QPalette::Base), normal.color(QPalette::Base));
    }

    void wheelOverStripScrolls()
    {
        auto view = shownView(logLines(300, {}));
        QVERIFY(view);
        view->verticalScrollBar()->setValue(0);
        QWidget *strip = view->visualizedTextWidget();
        const QPoint at(10, 10);
        QWheelEvent wheel(at, strip->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip, &wheel);
        QVERIFY(view->verticalScrollBar()->value() > 0);
    }

    void editingClearsNotFoundText()
    {
        auto view = shownView(logLines(3, {}));
        QVERIFY(view);
        view->searchStateObject()->notFoundText = QStringLiteral("XYZ");
        QTest::keyClicks(view->viewport(), QStringLiteral("a"));
        QVERIFY(view->searchStateObject()->notFoundText.isEmpty());
    }

    void stripPixels()
    {
        // Rows 1 and 3 hold read requests; row 3 is selected.
        auto view = shownView(logLines(6, {{1, dpv1Read}, {3, dpv1Read}}), 300);
        QVERIFY(view);
        QSignalSpy spy(view.get(), &VisualizedTextEdit::visualizeLineSelected);
        selectLine(view.get(), 2);
        QTRY_COMPARE(spy.count(), 1);

        QWidget *strip = view->visualizedTextWidget();
        const QImage image = strip->grab().toImage();
        const QColor gray(192, 192, 192);
        const QColor mark(255, 255, 153);
        const int plainRow = rowCenter(view.get(), 4);
        const int selectedRow = rowCenter(view.get(), 2);

        QCOMPARE(image.pixelColor(image.width() - 2, plainRow), gray);
        QCOMPARE(image.pixelColor(0, plainRow), QColor(Qt::black));
        QCOMPARE(image.pixelColor(0, selectedRow), QColor(Qt::black));
        QCOMPARE(image.pixelColor(1, selectedRow), mark);
        QCOMPARE(image.pixelColor(image.width() - 1, selectedRow), mark);
        QCOMPARE(image.pixelColor(image.width() - 1, rowCenter(view.get(), 1)), gray);
        // Below the last line the strip is background.
        QCOMPARE(image.pixelColor(150, image.height() - 3), gray);

        // The icons sit behind "DPV1 ", plain on the gray row, the selected one on the mark.
        const int iconX = view->fontMetrics().horizontalAdvance(QStringLiteral("DPV1 "));
        const QImage plainIcon = iconForLineType(Read, false).toImage();
        const QImage selectedIcon = iconForLineType(Read, true).toImage();
        QCOMPARE(image.copy(iconX, row(view.get(), 0).top(), 18, plainIcon.height())
                     .convertToFormat(QImage::Format_RGB32),
                 plainIcon.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(image.copy(iconX, row(view.get(), 2).top(), 18, selectedIcon.height())
                     .convertToFormat(QImage::Format_RGB32),
                 selectedIcon.convertToFormat(QImage::Format_RGB32));

        // The gutter: background, border line at its right edge.
        const QImage gutter = view->lineNumberWidget()->grab().toImage();
        QCOMPARE(gutter.pixelColor(1, plainRow), QColor(228, 228, 228));
        QCOMPARE(gutter.pixelColor(gutter.width() - 1, plainRow), QColor(128, 128, 128));
    }

    void fieldOpensLog_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("telegramLog");
        QTest::newRow("with [Comm]") << QString(plainLine(1) + "\n" + dpv1Read + "\n") << true;
        QTest::newRow("marker in other case") << QString(plainLine(1) + "\nx [comm] y\n") << false;
        QTest::newRow("without marker") << QString(plainLine(1) + "\n" + plainLine(2)) << false;
    }

    void fieldOpensLog()
    {
        QFETCH(QString, content);
        QFETCH(bool, telegramLog);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("drive.log"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
        file.close();

        ApplicationSettings::instance().setVisualizedAreaWidth(230);
        Field field(nullptr, QString());
        field.resize(900, 600);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        QVERIFY(field.openFileAndMoveCursorToEnd(path));

        VisualizedTextEdit *view = field.textEdit();
        auto *slider = field.findChild<QSlider *>(QStringLiteral("visualizedAreaWidthSlider"));
        QVERIFY(slider);
        QCOMPARE(view->visualizedTextAreaWidth(), telegramLog ? 230 : 0);
        QCOMPARE(view->visualizedTextWidget()->width(), telegramLog ? 230 : 0);
        if (telegramLog)
            QCOMPARE(slider->value(), 230);
        else
            QCOMPARE(slider->value(), slider->minimum());
        QCOMPARE(view->selectedLineNumber(), view->blockCount() - 1);
        ApplicationSettings::instance().remove(QStringLiteral("VisualizedAreaWidth"));
    }
};

QTEST_MAIN(TestVisualizedTextEdit)
#include "tst_visualizedtextedit.moc"
