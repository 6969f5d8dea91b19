// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "search/searchbar.h"
#include "search/searchresultslist.h"
#include "search/searchresultwindow.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
ApplicationSettings &settings()
{
    return ApplicationSettings::instance();
}

QList<bool> activeStates(const Telvane &window)
{
    QList<bool> states;
    for (const Field *field : window.panels())
        states << field->isActive();
    return states;
}

void createFields(Telvane &window, const QStringList &names)
{
    QVERIFY(QMetaObject::invokeMethod(&window, "createFields", Q_ARG(QStringList, names)));
}

QWidget *child(const Telvane &window, const char *name)
{
    return window.findChild<QWidget *>(QLatin1String(name));
}

// Closing a panel deletes it later; let that happen.
void closePanel(Field *field)
{
    QTest::mouseClick(field->closeButton(), Qt::LeftButton);
    testsupport::deleteClosed();
}
} // namespace

class TestTelvane : public QObject
{
    Q_OBJECT

    QTemporaryDir logs;

    QString writeLog(const QString &name, const QByteArray &content)
    {
        return testsupport::writeFile(logs.filePath(name), content) ? logs.filePath(name)
                                                                    : QString();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { settings().clear(); }

    void sessionRestoredAtStart_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("panelCount");
        QTest::newRow("never stored: the home folder") << QVariant() << 1;
        QTest::newRow("empty middle") << QVariant("a.log;;b.log") << 3;
    }

    void sessionRestoredAtStart()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, panelCount);
        if (stored.isValid())
            settings().setValue("FileNames", stored);
        Telvane window(false);
        QCOMPARE(window.panels().size(), panelCount);
        QCOMPARE(activeStates(window).count(true), 1);
        QVERIFY(window.panels().first()->isActive());
        QVERIFY(!child(window, "widgetSearch")->isHidden());
    }

    void closeStoresSessionOnlyWhileChecked_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::newRow("checked") << true;
        QTest::newRow("unchecked") << false;
    }

    void closeStoresSessionOnlyWhileChecked()
    {
        QFETCH(bool, checked);
        const QString first = writeLog("first.log", "one\n");
        const QString added = writeLog("added.log", "two\n");
        settings().setValue("FileNames", first);
        {
            Telvane window(false);
            createFields(window, {added});
            auto *box =
                window.findChild<QCheckBox *>(QStringLiteral("checkBoxSaveSessionSettings"));
            QVERIFY(box->isChecked());
            if (!checked)
                QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(testsupport::closeInEventLoop(window));
        }
        QCOMPARE(settings().value("FileNames").toString(), checked ? first + ';' + added : first);
        // The box is not remembered: it is checked again at the next start.
        Telvane again(false);
        QVERIFY(again.findChild<QCheckBox *>(QStringLiteral("checkBoxSaveSessionSettings"))
                    ->isChecked());
    }

    void closingWithoutPanelsStoresEmptySession()
    {
        settings().setValue("FileNames", writeLog("only.log", "x\n"));
        {
            Telvane window(false);
            closePanel(window.panels().first());
            QVERIFY(window.panels().isEmpty());
            QVERIFY(testsupport::closeInEventLoop(window));
        }
        QCOMPARE(settings().value("FileNames").toString(), QString());
        Telvane again(false);
        QCOMPARE(again.panels().size(), 1);
        QCOMPARE(again.panels().first()->fileName(), QString());
    }

    void geometrySavedAndRestoredInBothModes_data()
    {
        QTest::addColumn<bool>("safetyFaultMode");
        QTest::addColumn<QSize>("size");
        QTest::newRow("normal") << false << QSize(800, 500);
        QTest::newRow("safety faults") << true << QSize(640, 480);
        // Stored on a bigger screen: it comes back within this one.
        QTest::newRow("larger than the screen") << false << QSize(2600, 1900);
    }

    void geometrySavedAndRestoredInBothModes()
    {
        QFETCH(bool, safetyFaultMode);
        QFETCH(QSize, size);
        settings().setValue("FileNames", "untouched");
        {
            Telvane window(safetyFaultMode);
            window.show();
            window.resize(size);
            QVERIFY(testsupport::closeInEventLoop(window));
        }
        QVERIFY(!settings().mainWindowGeometry().isEmpty());
        Telvane again(safetyFaultMode);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        if (screen.contains(QRect(QPoint(), size)))
            QCOMPARE(again.size(), size);
        else
            QVERIFY(screen.contains(again.frameGeometry()));
        if (safetyFaultMode) {
            QVERIFY(testsupport::closeInEventLoop(again));
            QCOMPARE(settings().value("FileNames").toString(), QStringLiteral("untouched"));
        }
    }

    void safetyFaultModeShowsOnePanelAndNoSessionControls()
    {
        settings().setValue("FileNames", "a.log;b.log;c.log");
        Telvane window(true);
        window.show();
        QCOMPARE(window.panels().size(), 1);
        QCOMPARE(window.panels().first()->fileName(), QString());
        QVERIFY(child(window, "addFieldPushButton")->isHidden());
        QVERIFY(child(window, "checkBoxSaveSessionSettings")->isHidden());
        QVERIFY(child(window, "widgetSearch")->isHidden());
        QVERIFY(!child(window, "pushButtonAboutQt")->isHidden());
        Field *field = window.panels().first();
        QVERIFY(field->findChild<QWidget *>(QStringLiteral("fileNameInput"))->isHidden());
        QVERIFY(field->findChild<QWidget *>(QStringLiteral("pushButtonCloseField"))->isHidden());
    }

    // Three panels, the one that matters first, in the middle or last: a click makes it the
    // only active one, adding keeps it, only it answers a search, closing it leaves at most one
    // active and a panel added then takes over only if none is, and the session keeps the order.
    void panelRulesWithThreePanels_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 1;
        QTest::newRow("last") << 2;
    }

    void panelRulesWithThreePanels()
    {
        QFETCH(int, index);
        QStringList names;
        for (const char *name : {"a.log", "b.log", "c.log"})
            names << writeLog(name, "needle in " + QByteArray(name) + "\n");
        settings().setValue("FileNames", names.join(';'));
        {
            Telvane window(false);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QList<Field *> fields = window.panels();
            QTest::mouseClick(fields[index]->textEdit()->viewport(), Qt::LeftButton);
            QList<bool> expected{false, false, false};
            expected[index] = true;
            QCOMPARE(activeStates(window), expected);
            createFields(window, {names.at(index)});
            QCOMPARE(activeStates(window), expected + QList<bool>{false});

            SearchBar *bar = window.searchBar();
            bar->searchTextEdit()->setText(QStringLiteral("needle"));
            for (int i = 0; i < fields.size(); ++i)
                QCOMPARE(fields[i]->textEdit()->textCursor().hasSelection(), i == index);

            const unsigned closedId = fields[index]->id;
            closePanel(fields[index]);
            QCOMPARE(window.fieldById(closedId), nullptr);
            // None stays active, unless the focus moved on into a neighbour, which it activates.
            const QList<bool> after = activeStates(window);
            QVERIFY(after.count(true) <= 1);
            createFields(window, {""});
            QCOMPARE(activeStates(window), after + QList<bool>{!after.contains(true)});
            QVERIFY(testsupport::closeInEventLoop(window));
        }
        names.removeAt(index);
        QCOMPARE(settings().fileNames().mid(0, 2), names);
    }

    // The search area and the results pane, with its rows, go with the last panel and come back
    // with the next one.
    void searchAreaAndResultsFollowPanels()
    {
        settings().setValue("FileNames", "");
        Telvane window(false);
        window.show();
        QWidget *searchArea = child(window, "widgetSearch");
        SearchResultWindow *results = window.searchResultWindow();
        results->onSearchStarted(QStringLiteral("a.log"), QStringLiteral("x"));
        results->onSearchEnd(0);
        QVERIFY(searchArea->isVisible() && results->isVisible());
        closePanel(window.panels().first());
        QVERIFY(searchArea->isHidden() && !results->isVisible());
        createFields(window, {""});
        QVERIFY(searchArea->isVisible() && results->isVisible());
        QCOMPARE(results->resultsList()->count(), 2);
        QVERIFY(window.panels().first()->isActive());
    }

    // Long paths are elided in the file lists; they do not widen the panels or the window.
    void longPathsDoNotWidenTheWindow()
    {
        settings().setValue("FileNames", "");
        Telvane window(false);
        window.resize(1191, 729);
        window.show();
        QStringList paths;
        for (const char *name : {"1.log", "2.log", "3.log"}) {
            const QString prefix = logs.filePath(QString());
            paths << writeLog(QString(qMax(1, 75 - prefix.size()), QLatin1Char('p')) + name,
                              "text\n");
            QVERIFY(paths.last().size() >= 75);
        }
        createFields(window, paths);
        QCoreApplication::processEvents();
        QCOMPARE(window.panels().size(), 4);
        QCOMPARE(window.width(), 1191);
    }

    void aboutQtOpensOnPress()
    {
        Telvane window(false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        bool shown = false;
        QTimer::singleShot(0, this, [&shown] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                shown = box->close();
        });
        // The box opens on the press alone; no release is sent.
        QTest::mousePress(child(window, "pushButtonAboutQt"), Qt::LeftButton);
        QVERIFY(shown);
    }
};

QTEST_MAIN(TestTelvane)
#include "tst_telvane.moc"
