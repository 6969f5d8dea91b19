// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/searchbar.h"

#include <QtTest>
#include <QtWidgets>

namespace
{
// A search request as direction, mode and text, so that lists of them compare in one go.
QString request(int direction, int mode, const QString &text)
{
    return QStringLiteral("%1 %2 %3").arg(direction).arg(mode).arg(text);
}
} // namespace

class TestSearchBar : public QObject
{
    Q_OBJECT

private:
    SearchBar *bar = nullptr;
    QStringList requests;

    template <typename T> T *child(const char *name) const
    {
        return bar->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *lineEdit() const { return child<QLineEdit>("lineEditSearchText"); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        bar = new SearchBar;
        bar->show();
        requests.clear();
        connect(bar, &SearchBar::searchTriggered, this, [this](const SearchOptions &options) {
            requests << request(options.searchDirection, options.searchMode, options.text);
        });
    }

    void cleanup()
    {
        delete bar;
        bar = nullptr;
    }

    // Keys of the search text: a key with its modifiers, and the search it asks for.
    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("direction"); // -1: no search
        const int next = FindNext, previous = FindPrevious;
        QTest::newRow("up") << int(Qt::Key_Up) << previous;
        QTest::newRow("shift+up") << (int(Qt::SHIFT) | Qt::Key_Up) << previous;
        QTest::newRow("down") << int(Qt::Key_Down) << next;
        QTest::newRow("return") << int(Qt::Key_Return) << next;
        QTest::newRow("keypad enter") << (int(Qt::KeypadModifier) | Qt::Key_Enter) << next;
        QTest::newRow("shift+return") << (int(Qt::SHIFT) | Qt::Key_Return) << previous;
        QTest::newRow("shift+enter") << (int(Qt::SHIFT) | Qt::Key_Enter) << previous;
        QTest::newRow("escape") << int(Qt::Key_Escape) << -1;
        QTest::newRow("left") << int(Qt::Key_Left) << -1;
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, direction);
        lineEdit()->setText(QStringLiteral("abc"));
        requests.clear();
        QTest::keyClick(lineEdit(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(requests,
                 direction < 0 ? QStringList() : QStringList{request(direction, 1, "abc")});
    }

    void typingSearchesFromLineStart()
    {
        QPushButton *findAll = child<QPushButton>("pushButtonFindAll");
        QTest::keyClicks(lineEdit(), QStringLiteral("ab"));
        QVERIFY(findAll->isEnabled());
        QTest::keyClick(lineEdit(), Qt::Key_Backspace);
        QTest::keyClick(lineEdit(), Qt::Key_Backspace);
        QVERIFY(!findAll->isEnabled());
        const int start = FindFromLineStart, plain = PlainText;
        QCOMPARE(requests, QStringList({request(start, plain, "a"), request(start, plain, "ab"),
                                        request(start, plain, "a"), request(start, plain, "")}));
    }

    void modes_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("matchCase");
        QTest::addColumn<int>("mode");
        const QString plain = QStringLiteral("radioButtonPlainText");
        QTest::newRow("plain") << plain << int(Qt::Unchecked) << int(PlainText);
        QTest::newRow("plain, match case") << plain << int(Qt::Checked) << int(PlainTextMatchCase);
        QTest::newRow("plain, partially") << plain << int(Qt::PartiallyChecked) << int(PlainText);
        QTest::newRow("binary, box checked")
            << "radioButtonBinatyData" << int(Qt::Checked) << int(BinaryData);
        QTest::newRow("parameter id")
            << "radioButtonParameterID" << int(Qt::Unchecked) << int(ParameterId);
    }

    void modes()
    {
        QFETCH(QString, radio);
        QFETCH(int, matchCase);
        QFETCH(int, mode);
        auto *box = child<QCheckBox>("checkBoxMatchCase");
        box->setTristate(true);
        box->setCheckState(Qt::CheckState(matchCase));
        bar->findChild<QRadioButton *>(radio)->setChecked(true);
        requests.clear();
        QTest::mouseClick(child<QPushButton>("pushButtonNext"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>("pushButtonPrevious"), Qt::LeftButton);
        QCOMPARE(requests,
                 QStringList({request(FindNext, mode, ""), request(FindPrevious, mode, "")}));
        QCOMPARE(box->isEnabled(), radio == QLatin1String("radioButtonPlainText"));
        QCOMPARE(box->checkState(), Qt::CheckState(matchCase)); // kept while disabled
    }

    void modeChangeDoesNotSearchButMatchCaseDoes()
    {
        QTest::mouseClick(child<QRadioButton>("radioButtonBinatyData"), Qt::LeftButton);
        QTest::mouseClick(child<QRadioButton>("radioButtonPlainText"), Qt::LeftButton);
        QVERIFY(requests.isEmpty());
        QTest::mouseClick(child<QCheckBox>("checkBoxMatchCase"), Qt::LeftButton);
        QCOMPARE(requests, QStringList{request(FindFromLineStart, PlainTextMatchCase, "")});
    }

    void findAllShowsTheResultButtons()
    {
        QTest::keyClicks(lineEdit(), QStringLiteral("x"));
        auto *showOrHide = child<QPushButton>("pushButtonShowOrHide");
        showOrHide->setText(QStringLiteral("Show Results"));
        requests.clear();
        QTest::mousePress(child<QPushButton>("pushButtonFindAll"), Qt::LeftButton);
        QCOMPARE(requests, QStringList{request(FindAll, PlainText, "x")}); // on the press
        QTest::mouseRelease(child<QPushButton>("pushButtonFindAll"), Qt::LeftButton);
        QVERIFY(showOrHide->isVisible() && bar->clearResultsButton()->isVisible());
        QCOMPARE(showOrHide->text(), QStringLiteral("Hide Results"));
        QCOMPARE(bar->getSearchText(), QStringLiteral("x"));
    }

    // What the main window's keys call, beyond what the buttons do: an empty text is searched
    // for, and Find All only while its button is enabled, when it shows the result buttons.
    void keyboardCounterparts()
    {
        QVERIFY(!bar->requestFindAll());
        bar->requestNext();
        QVERIFY(!bar->showOrHideButton()->isVisible());
        lineEdit()->setText(QStringLiteral("abc"));
        requests.removeLast(); // the search of the typed text
        bar->requestPrevious();
        QVERIFY(bar->requestFindAll());
        QCOMPARE(requests, QStringList({request(FindNext, PlainText, ""),
                                        request(FindPrevious, PlainText, "abc"),
                                        request(FindAll, PlainText, "abc")}));
        QVERIFY(bar->showOrHideButton()->isVisible());
    }

    void textColour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("found") << "WWWWWWWW" << true << QColor(Qt::black);
        QTest::newRow("not found") << "WWWWWWWW" << false << QColor(Qt::red);
        QTest::newRow("empty, not found") << "" << false << QColor(Qt::black);
    }

    void textColour()
    {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(QColor, colour);
        lineEdit()->setText(text);
        bar->finishSearch(!found); // the opposite first, so that every row sees a change
        bar->finishSearch(found);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            QCOMPARE(lineEdit()->palette().color(group, QPalette::Text), colour);
        // And the text is really drawn in it.
        const QImage image = lineEdit()->grab().toImage();
        int red = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 100 && c.blue() < 100;
            }
        }
        QCOMPARE(red > 10, colour == Qt::red);
    }
};

QTEST_MAIN(TestSearchBar)
#include "tst_searchbar.moc"
