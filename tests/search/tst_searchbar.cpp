#include "search/searchbar.h"

#include <QStandardPaths>
#include <QtTest>
#include <QtWidgets>

namespace
{
struct Request {
    int direction;
    int mode;
    QString text;
};
} // namespace

class TestSearchBar : public QObject
{
    Q_OBJECT

private:
    SearchBar *bar = nullptr;
    QList<Request> requests;

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
            requests.append({options.searchDirection, options.searchMode, options.text});
        });
    }

    void cleanup()
    {
        delete bar;
        bar = nullptr;
    }

    void initialState()
    {
        QVERIFY(child<QRadioButton>("radioButtonPlainText")->isChecked());
        QVERIFY(child<QRadioButton>("radioButtonBinatyData"));
        QVERIFY(!child<QPushButton>("pushButtonFindAll")->isEnabled());
        QVERIFY(child<QPushButton>("pushButtonShowOrHide")->isHidden());
        QVERIFY(child<QPushButton>("pushButtonClearResults")->isHidden());
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("direction"); // -1: no search
        const auto row = [](const char *name, Qt::Key key, Qt::KeyboardModifiers modifiers,
                            int direction) {
            QTest::newRow(name) << int(key) << int(modifiers) << direction;
        };
        row("up", Qt::Key_Up, Qt::NoModifier, FindPrevious);
        row("shift+up", Qt::Key_Up, Qt::ShiftModifier, FindPrevious);
        row("down", Qt::Key_Down, Qt::NoModifier, FindNext);
        row("return", Qt::Key_Return, Qt::NoModifier, FindNext);
        row("keypad enter", Qt::Key_Enter, Qt::KeypadModifier, FindNext);
        row("shift+return", Qt::Key_Return, Qt::ShiftModifier, FindPrevious);
        row("shift+enter", Qt::Key_Enter, Qt::ShiftModifier, FindPrevious);
        row("escape", Qt::Key_Escape, Qt::NoModifier, -1);
        row("left", Qt::Key_Left, Qt::NoModifier, -1);
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, direction);
        lineEdit()->setText(QStringLiteral("abc"));
        requests.clear();
        QTest::keyClick(lineEdit(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(requests.size(), direction < 0 ? 0 : 1);
        if (direction >= 0) {
            QCOMPARE(requests.at(0).direction, direction);
            QCOMPARE(requests.at(0).text, QStringLiteral("abc"));
        }
    }

    void typingSearchesFromLineStart()
    {
        QPushButton *findAll = child<QPushButton>("pushButtonFindAll");
        QTest::keyClicks(lineEdit(), QStringLiteral("ab"));
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).direction, int(FindFromLineStart));
        QCOMPARE(requests.at(0).text, QStringLiteral("a"));
        QCOMPARE(requests.at(1).text, QStringLiteral("ab"));
        QCOMPARE(requests.at(1).mode, int(PlainText));
        QVERIFY(findAll->isEnabled());
        QTest::keyClick(lineEdit(), Qt::Key_Backspace);
        QTest::keyClick(lineEdit(), Qt::Key_Backspace);
        QCOMPARE(requests.last().text, QString());
        QCOMPARE(requests.last().direction, int(FindFromLineStart));
        QVERIFY(!findAll->isEnabled());
    }

    void modes_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("matchCase");
        QTest::addColumn<int>("mode");
        QTest::newRow("plain") << "radioButtonPlainText" << int(Qt::Unchecked) << int(PlainText);
        QTest::newRow("plain, match case")
            << "radioButtonPlainText" << int(Qt::Checked) << int(PlainTextMatchCase);
        QTest::newRow("plain, partially")
            << "radioButtonPlainText" << int(Qt::PartiallyChecked) << int(PlainText);
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
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests.at(0).mode, mode);
        QCOMPARE(requests.at(0).direction, int(FindNext));
        QCOMPARE(requests.at(1).direction, int(FindPrevious));
        QCOMPARE(box->isEnabled(), radio == QLatin1String("radioButtonPlainText"));
        QCOMPARE(box->checkState(), Qt::CheckState(matchCase)); // kept while disabled
    }

    void modeChangeDoesNotSearchButMatchCaseDoes()
    {
        QTest::mouseClick(child<QRadioButton>("radioButtonBinatyData"), Qt::LeftButton);
        QTest::mouseClick(child<QRadioButton>("radioButtonPlainText"), Qt::LeftButton);
        QVERIFY(requests.isEmpty());
        QTest::mouseClick(child<QCheckBox>("checkBoxMatchCase"), Qt::LeftButton);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.at(0).direction, int(FindFromLineStart));
        QCOMPARE(requests.at(0).mode, int(PlainTextMatchCase));
    }

    void findAllShowsTheResultButtons()
    {
        QTest::keyClicks(lineEdit(), QStringLiteral("x"));
        auto *showOrHide = child<QPushButton>("pushButtonShowOrHide");
        showOrHide->setText(QStringLiteral("Show Results"));
        requests.clear();
        QTest::mousePress(child<QPushButton>("pushButtonFindAll"), Qt::LeftButton);
        QCOMPARE(requests.size(), 1); // on the press, not the release
        QCOMPARE(requests.at(0).direction, int(FindAll));
        QTest::mouseRelease(child<QPushButton>("pushButtonFindAll"), Qt::LeftButton);
        QVERIFY(showOrHide->isVisible());
        QVERIFY(child<QPushButton>("pushButtonClearResults")->isVisible());
        QCOMPARE(showOrHide->text(), QStringLiteral("Hide Results"));
        QCOMPARE(bar->getSearchText(), QStringLiteral("x"));
    }

    // What the main window's keys call: the same requests as the bar's buttons.
    void keyboardCounterparts_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("direction"); // -1: no request
        QTest::newRow("next") << "next"
                              << "abc" << int(FindNext);
        QTest::newRow("previous") << "previous"
                                  << "abc" << int(FindPrevious);
        QTest::newRow("next, empty text") << "next"
                                          << "" << int(FindNext);
        QTest::newRow("find all") << "all"
                                  << "abc" << int(FindAll);
        QTest::newRow("find all while disabled") << "all"
                                                 << "" << -1;
    }

    void keyboardCounterparts()
    {
        QFETCH(QString, call);
        QFETCH(QString, text);
        QFETCH(int, direction);
        lineEdit()->setText(text);
        requests.clear();
        if (call == QLatin1String("next"))
            bar->requestNext();
        else if (call == QLatin1String("previous"))
            bar->requestPrevious();
        else
            QCOMPARE(bar->requestFindAll(), direction >= 0);
        QCOMPARE(requests.size(), direction < 0 ? 0 : 1);
        if (direction >= 0) {
            QCOMPARE(requests.at(0).direction, direction);
            QCOMPARE(requests.at(0).text, text);
        }
        // Only a Find All that ran shows the result buttons.
        QCOMPARE(child<QPushButton>("pushButtonShowOrHide")->isVisible(), direction == FindAll);
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
