// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "searchcore/searchstate.h"
#include "telegram/telegramrecord.h"
#include "view/lineicons.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"
#include "logview/logviewcontroller.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
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

// Lines 1 to `count` as plain log lines, with the given 1-based lines replaced.
QStringList logLines(int count, const QMap<int, QString> &replaced)
{
    QStringList lines;
    for (int number = 1; number <= count; ++number)
        lines << replaced.value(number, plainLine(number));
    return lines;
}

std::unique_ptr<VisualizedTextEdit> shownView(const QStringList &lines, int stripWidth = 400,
                                              const DecodeMode &mode = DecodeMode())
{
    auto view = std::make_unique<VisualizedTextEdit>();
    view->controller()->setDecodeMode(mode);
    view->resize(900, 420);
    view->setVisualizedTextAreaWidth(stripWidth);
    view->setPlainText(lines.join(QLatin1Char('\n')));
    QSignalSpy first(view->controller(), &LogViewController::visualizeLineSelected);
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

// Lines 1 to `count` with data lines "AB", "CD", "EF"... from line `first` on, sent or received
// as `words` say (an empty word keeps the plain line).
QStringList dataLines(int count, int first, const QStringList &words)
{
    QStringList lines = logLines(count, {});
    for (int i = 0; i < words.size(); ++i) {
        const QString line = QStringLiteral("12:00:02.000 [Comm] %1 [%2 %3]").arg(words[i]);
        if (!words[i].isEmpty())
            lines[first - 1 + i] = line.arg(0x41 + 2 * i, 0, 16).arg(0x42 + 2 * i, 0, 16);
    }
    return lines;
}

// The details of a data line, with the data context when the line is part of a received run.
QString dataDetails(int line, const QString &characters, const QString &context = QString())
{
    const QString details = QStringLiteral("Line %1 data: len = %2 [%3]")
                                .arg(line)
                                .arg(characters.size(), 3, 10, QLatin1Char('0'))
                                .arg(characters);
    return context.isEmpty() ? details : details + separator + context;
}

// The gutter's width as computed, as the viewport's offset and as the widget's own width.
QList<int> gutterWidths(VisualizedTextEdit *view)
{
    return {view->lineNumberAreaWidth(), view->viewport()->x() - view->contentsRect().left(),
            view->lineNumberWidget()->width()};
}

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
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

    void gutter_data()
    {
        // `before` and then `text` go in through setLogText; with `before` null, `text` goes in
        // through setPlainText.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("digits");
        const QString nine(8, QLatin1Char('\n')), hundredFifty(149, QLatin1Char('\n'));
        QTest::newRow("9 lines") << QString() << nine << 1;
        QTest::newRow("10 lines") << QString() << nine + "\n" << 2;
        QTest::newRow("100 lines") << QString() << QString(99, QLatin1Char('\n')) << 3;
        QTest::newRow("10000 lines") << QString() << QString(9999, QLatin1Char('\n')) << 5;
        QTest::newRow("load grows to three digits") << "a\nb" << hundredFifty << 3;
        QTest::newRow("load shrinks to one digit") << hundredFifty << "a\nb" << 1;
        QTest::newRow("load, trailing line feed starts a line") << "" << nine + "\n" << 2;
        // Carriage returns alone also end lines.
        QTest::newRow("load, carriage returns") << ""
                                                << "1\r2\r3\r4\r5\r6\r7\r8\r9\r10" << 2;
        QTest::newRow("load empty text") << hundredFifty << "" << 1;
    }

    void gutter()
    {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QFETCH(int, digits);
        VisualizedTextEdit view;
        view.resize(600, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        if (before.isNull()) {
            view.setPlainText(text);
        } else {
            view.setLogText(QStringLiteral("before.log"), before);
            view.setLogText(QStringLiteral("after.log"), text);
            QCOMPARE(view.document()->metaInformation(QTextDocument::DocumentTitle),
                     QStringLiteral("after.log"));
        }
        const int width = 10 + digits * view.fontMetrics().horizontalAdvance(QLatin1Char('9'));
        QCOMPARE(gutterWidths(&view), QList<int>({width, width, width}));
        QCOMPARE(view.toPlainText(), QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    }

    void stripWidth()
    {
        auto view = shownView(logLines(5, {}), 250);
        QVERIFY(view);
        QWidget *strip = view->visualizedTextWidget();
        QCOMPARE(strip->width(), 250);
        // The strip sits right of the viewport, the error marks right of it, ending at the frame.
        QCOMPARE(strip->x(), view->viewport()->geometry().right() + 1);
        QWidget *marks = view->errorMarkWidget();
        QCOMPARE(marks->x(), strip->geometry().right() + 1);
        QCOMPARE(marks->geometry().right(), view->contentsRect().right());

        const int viewportWidth = view->viewport()->width();
        view->setVisualizedTextAreaWidth(0);
        QCOMPARE(strip->width(), 0);
        QCOMPARE(view->viewport()->width(), viewportWidth + 250);
    }

    void detailsText_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("selected"); // 1-based line number
        QTest::addColumn<QString>("details");

        const auto row = [](const char *name, const QStringList &lines, int selected,
                            const QString &details) {
            QTest::newRow(name) << lines << selected << details;
        };
        const QString in = QStringLiteral("Received");
        const QStringList run = dataLines(14, 10, {in, in, in});
        const QString fault = QStringLiteral("INT FAIL,74,a,b");
        const QString faultText = QStringLiteral("Internal Failure Safe Output Switch 2");
        row("TL read request", logLines(5, {{4, tlRead}}), 4,
            "Line 4 data: TL ADDR=5 \"READING REQUEST\" PARAM=564.0 ");
        row("sent data", dataLines(3, 1, {"Send"}), 1, dataDetails(1, "AB"));
        row("received data at the start of a run", run, 10, dataDetails(10, "AB", "ABCDEF"));
        row("received data at the end of a run", run, 12, dataDetails(12, "EF", "ABCDEF"));
        row("received data amid a run at the document's end", dataLines(12, 10, {in, in, in}), 11,
            dataDetails(11, "CD", "ABCDEF"));
        row("received data without received neighbours", dataLines(14, 10, {in, QString(), in}), 10,
            dataDetails(10, "AB"));
        row("misspelt Recieved counts as received", dataLines(5, 2, {"Recieved", "received"}), 2,
            dataDetails(2, "AB", "ABCD"));
        row("sent data between received lines gets no context", dataLines(5, 2, {in, "Send", in}),
            3, dataDetails(3, "CD"));
        row("a sent line ends the run", dataLines(5, 2, {in, in, "Send"}), 3,
            dataDetails(3, "CD", "ABCD"));
        row("fault view, fault line", logLines(5, {{3, fault}}), 3, "Line 3: " + faultText);
        row("fault view, plain line", logLines(5, {{3, fault}}), 2, "Line 2:");
        // The selected line leaves the screen before its details are announced.
        row("scrolled away", logLines(300, {{1, fault}}), 1, "Line 1: " + fault);
        row("fault view, scrolled away", logLines(300, {{1, fault}}), 1, "Line 1: " + faultText);
    }

    void detailsText()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, selected);
        QFETCH(QString, details);

        const QByteArray tag = QTest::currentDataTag();
        auto view = shownView(lines, 400, DecodeMode{tag.startsWith("fault view"), English});
        QVERIFY(view);
        QSignalSpy spy(view->controller(), &LogViewController::visualizeLineSelected);
        if (view->textCursor().blockNumber() == selected - 1) {
            // Selecting the line that holds the cursor is no change; come from another line.
            selectLine(view.get(), selected);
            QTRY_COMPARE(spy.count(), 1);
            spy.clear();
        }
        selectLine(view.get(), selected - 1);
        if (tag.endsWith("scrolled away"))
            view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), details);
    }

    void oneEmissionPerSelectionChange()
    {
        auto view = shownView(logLines(200, {{3, dpv1Read}}));
        QVERIFY(view);
        QSignalSpy spy(view->controller(), &LogViewController::visualizeLineSelected);

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

    void faultViewBeforeTheFirstCursorMove()
    {
        VisualizedTextEdit view;
        view.controller()->setDecodeMode(DecodeMode{true, English});
        QSignalSpy spy(view.controller(), &LogViewController::visualizeLineSelected);
        view.show();
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Line 0:"));
    }

    void pressInSideAreaSelectsLine_data()
    {
        QTest::addColumn<bool>("inGutter");
        QTest::addColumn<int>("line"); // 0-based
        QTest::newRow("gutter, first line") << true << 0;
        QTest::newRow("strip, telegram line") << false << 2;
    }

    void pressInSideAreaSelectsLine()
    {
        QFETCH(bool, inGutter);
        QFETCH(int, line);

        auto view = shownView(logLines(40, {{3, dpv1Read}}));
        QVERIFY(view);
        selectLine(view.get(), 30);
        view->setPalette(QPalette(Qt::red));
        view->controller()->searchState()->notFoundText = QStringLiteral("XYZ");
        QSignalSpy activated(view->controller(), &LogViewController::activated);

        QWidget *area = inGutter ? static_cast<QWidget *>(view->lineNumberWidget())
                                 : static_cast<QWidget *>(view->visualizedTextWidget());
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier,
                          QPoint(area->width() - 3, row(view.get(), line).center().y()));

        QCOMPARE(view->textCursor().blockNumber(), line);
        QCOMPARE(view->textCursor().positionInBlock(), 0);
        QCOMPARE(view->controller()->selectedLine(), qint64(line));
        QCOMPARE(activated.count(), 1);
        QVERIFY(view->controller()->searchState()->notFoundText.isEmpty());
        QCOMPARE(view->palette().color(QPalette::Base), QPalette().color(QPalette::Base));
    }

    void wheelOverStripScrolls()
    {
        auto view = shownView(logLines(300, {}));
        QVERIFY(view);
        QWidget *strip = view->visualizedTextWidget();
        const QPoint at(10, 10);
        QWheelEvent wheel(at, strip->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip, &wheel);
        QVERIFY(view->verticalScrollBar()->value() > 0);
    }

    void stripPixels()
    {
        // Rows 1 and 3 hold read requests; row 3 is selected.
        auto view = shownView(logLines(6, {{1, dpv1Read}, {3, dpv1Read}}), 300);
        QVERIFY(view);
        QSignalSpy spy(view->controller(), &LogViewController::visualizeLineSelected);
        selectLine(view.get(), 2);
        QTRY_COMPARE(spy.count(), 1);

        const QImage image = view->visualizedTextWidget()->grab().toImage();
        const QColor gray(192, 192, 192);
        const QColor mark(255, 255, 153);
        const int plainRow = row(view.get(), 4).center().y();
        const int selectedRow = row(view.get(), 2).center().y();

        // The selected row is marked across the strip, the others are not.
        QCOMPARE(image.pixelColor(image.width() - 2, plainRow), gray);
        QCOMPARE(image.pixelColor(1, selectedRow), mark);
        QCOMPARE(image.pixelColor(image.width() - 1, selectedRow), mark);
        QCOMPARE(image.pixelColor(image.width() - 1, row(view.get(), 1).center().y()), gray);

        // The icons sit behind "DPV1 ", plain on the gray row, the selected one on the mark.
        const int iconX = view->fontMetrics().horizontalAdvance(QStringLiteral("DPV1 "));
        for (const int line : {0, 2}) {
            const QImage icon = rgb32(iconForLineType(Read, line == 2).toImage());
            QCOMPARE(rgb32(image.copy(iconX, row(view.get(), line).top(), 18, icon.height())),
                     icon);
        }
    }

    // The icon of each line type, selected or not, is its image file.
    void lineIcons_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("image"); // empty: a null pixmap
        QTest::newRow("NoTelegram") << int(NoTelegram) << false << QString();
        QTest::newRow("Data selected") << int(Data) << true << QString();
        QTest::newRow("below range") << -1 << false << QString();
        QTest::newRow("above range") << 10 << true << QString();
        QTest::newRow("PPO3Request") << int(PPO3Request) << false << "PPO3Request";
        QTest::newRow("PPO3Response selected")
            << int(PPO3Response) << true << "Selected_PPO3Response";
        QTest::newRow("Read selected") << int(Read) << true << "Selected_Read";
        QTest::newRow("ReadDescription") << int(ReadDescription) << false << "ReadDescription";
        QTest::newRow("Write selected") << int(Write) << true << "Selected_Write";
        QTest::newRow("WriteVolatile selected is the plain image")
            << int(WriteVolatile) << true << "WriteVolatile";
        QTest::newRow("ResponseOK") << int(ResponseOK) << false << "ResponseOK";
        QTest::newRow("ResponseError selected")
            << int(ResponseError) << true << "Selected_ResponseError";
    }

    void lineIcons()
    {
        QFETCH(int, type);
        QFETCH(bool, selected);
        QFETCH(QString, image);
        const QPixmap &icon = iconForLineType(type, selected);
        QCOMPARE(&iconForLineType(type, selected), &icon); // a reference into the cache
        if (image.isEmpty()) {
            QVERIFY(icon.isNull());
            return;
        }
        const QImage expected = QImage(QStringLiteral(":/images/%1.bmp").arg(image));
        QVERIFY(!expected.isNull());
        QCOMPARE(icon.toImage().convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(TestVisualizedTextEdit)
#include "tst_visualizedtextedit.moc"
