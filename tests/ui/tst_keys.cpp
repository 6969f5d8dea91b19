#include "app/applicationsettings.h"
#include "search/searchbar.h"
#include "searchcore/searchoptions.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
struct Request {
    int direction;
    QString text;
};

QString text(const Field *field)
{
    return field->textEdit()->toPlainText();
}

// Closing a panel deletes it later; let that happen.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

// The window's keys, pressed where the focus is, as a user would.
class TestKeys : public QObject
{
    Q_OBJECT

    QTemporaryDir logs;
    std::unique_ptr<Telvane> window;
    QList<Request> requests;

    QString log(const char *name) const { return logs.filePath(QLatin1String(name)); }

    // A shown, active window with a panel for each name; in normal mode the last panel is the
    // active one, and it has the focus.
    bool open(bool safetyFaultMode, const QStringList &names)
    {
        QStringList files;
        for (const QString &name : names)
            files << logs.filePath(name);
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"),
                                                 files.join(QLatin1Char(';')));
        window = std::make_unique<Telvane>(safetyFaultMode);
        connect(window->searchBar(), &SearchBar::searchTriggered, this,
                [this](const SearchOptions &options) {
                    requests.append({options.searchDirection, options.text});
                });
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return false;
        return focusPanel(window->panels().size() - 1);
    }

    // Focus on a panel's log view makes that panel the active one.
    bool focusPanel(int index)
    {
        Field *field = window->panels().value(index);
        if (!field)
            return false;
        field->textEdit()->setFocus(Qt::MouseFocusReason);
        return field->textEdit()->hasFocus() && window->activeField() == field;
    }

    QLineEdit *searchText() const { return window->searchBar()->searchTextEdit(); }

    QWidget *widgetNamed(const QString &name) const
    {
        Field *field = window->activeField();
        if (name == QLatin1String("search text"))
            return searchText();
        if (name == QLatin1String("file list"))
            return field->findChild<QComboBox *>(QStringLiteral("fileNameInput"));
        return field->textEdit();
    }

    void press(int key, int modifiers = Qt::NoModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(logs.isValid());
    }

    void init()
    {
        ApplicationSettings::instance().clear();
        QVERIFY(testsupport::writeFile(log("one.log"), "needle one\nneedle two\n"));
        QVERIFY(testsupport::writeFile(log("two.log"), "needle 2a\nneedle 2b\n"));
        QVERIFY(testsupport::writeFile(log("three.log"), "three\n"));
        requests.clear();
    }

    void cleanup() { window.reset(); }

    void searchKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("direction"); // -1: no request
        const auto row = [](const char *name, const char *focus, Qt::Key key,
                            Qt::KeyboardModifiers modifiers, const char *typed, int direction) {
            QTest::newRow(name) << focus << int(key) << int(modifiers) << typed << direction;
        };
        const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
        row("F3 in the log view", "view", Qt::Key_F3, Qt::NoModifier, "needle", FindNext);
        row("Shift+F3 in the log view", "view", Qt::Key_F3, Qt::ShiftModifier, "needle",
            FindPrevious);
        row("F3 in the search text", "search text", Qt::Key_F3, Qt::NoModifier, "needle", FindNext);
        row("Shift+F3 in the search text", "search text", Qt::Key_F3, Qt::ShiftModifier, "needle",
            FindPrevious);
        row("F3 in the file list", "file list", Qt::Key_F3, Qt::NoModifier, "needle", FindNext);
        row("Ctrl+Shift+F in the log view", "view", Qt::Key_F, ctrlShift, "needle", FindAll);
        row("Ctrl+Shift+F while Find All is disabled", "view", Qt::Key_F, ctrlShift, "", -1);
        // The search text's own keys are left to it.
        row("Return", "search text", Qt::Key_Return, Qt::NoModifier, "needle", FindNext);
        row("Shift+Return", "search text", Qt::Key_Return, Qt::ShiftModifier, "needle",
            FindPrevious);
    }

    void searchKeys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, typed);
        QFETCH(int, direction);
        QVERIFY(open(false, {"one.log", "two.log"}));
        searchText()->setText(typed);
        QWidget *target = widgetNamed(focus);
        target->setFocus(Qt::MouseFocusReason);
        QVERIFY(target->hasFocus());
        requests.clear();
        press(key, modifiers);
        QCOMPARE(requests.size(), direction < 0 ? 0 : 1);
        if (direction >= 0) {
            QCOMPARE(requests.first().direction, direction);
            QCOMPARE(requests.first().text, typed);
        }
        QCOMPARE(QApplication::focusWidget(), target);
    }

    void stepsReachTheActivePanelOnly()
    {
        QVERIFY(open(false, {"one.log", "two.log"}));
        const QList<Field *> fields = window->panels();
        for (Field *field : fields)
            field->textEdit()->moveCursor(QTextCursor::Start);
        QVERIFY(focusPanel(0));
        searchText()->setText(QStringLiteral("needle"));
        const auto selectedLine = [](const Field *field) {
            const QTextCursor cursor = field->textEdit()->textCursor();
            return cursor.hasSelection() ? cursor.blockNumber() : -1;
        };
        QCOMPARE(selectedLine(fields[0]), 0);
        press(Qt::Key_F3);
        QCOMPARE(selectedLine(fields[0]), 1);
        press(Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(selectedLine(fields[0]), 0);
        QCOMPARE(selectedLine(fields[1]), -1);
    }

    void ctrlFSelectsTheSearchText_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("from the log view") << "view";
        QTest::newRow("from the file list") << "file list";
        QTest::newRow("from the search text, nothing selected") << "search text";
    }

    void ctrlFSelectsTheSearchText()
    {
        QFETCH(QString, focus);
        QVERIFY(open(false, {"one.log", "two.log"}));
        Field *active = window->activeField();
        searchText()->setText(QStringLiteral("needle"));
        QWidget *target = widgetNamed(focus);
        target->setFocus(Qt::MouseFocusReason);
        searchText()->setCursorPosition(2);
        requests.clear();
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), searchText());
        QCOMPARE(searchText()->selectedText(), QStringLiteral("needle"));
        QVERIFY(requests.isEmpty());
        QCOMPARE(window->activeField(), active);
    }

    void escapeReturnsToTheActiveView_data()
    {
        QTest::addColumn<int>("active");
        QTest::newRow("first panel") << 0;
        QTest::newRow("last panel") << 2;
    }

    void escapeReturnsToTheActiveView()
    {
        QFETCH(int, active);
        QVERIFY(open(false, {"one.log", "two.log", "three.log"}));
        QVERIFY(focusPanel(active));
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), searchText());
        press(Qt::Key_Escape);
        Field *field = window->panels().at(active);
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
        QCOMPARE(window->activeField(), field);
        QVERIFY(requests.isEmpty());

        // Esc elsewhere is not taken: the view keeps the focus.
        press(Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
    }

    void escapeWithNoActivePanelKeepsTheFocus()
    {
        QVERIFY(open(false, {"one.log", "two.log"}));
        press(Qt::Key_W, Qt::ControlModifier);
        settle();
        QCOMPARE(window->activeField(), nullptr);
        press(Qt::Key_F, Qt::ControlModifier);
        press(Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), searchText());
        QCOMPARE(window->activeField(), nullptr);
    }

    void f5ReloadsTheActivePanel_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("focus");
        QTest::newRow("first, from its view") << 0 << "view";
        QTest::newRow("second, from its view") << 1 << "view";
        QTest::newRow("second, from the search text") << 1 << "search text";
    }

    void f5ReloadsTheActivePanel()
    {
        QFETCH(int, active);
        QFETCH(QString, focus);
        QVERIFY(open(false, {"one.log", "two.log"}));
        QVERIFY(focusPanel(active));
        widgetNamed(focus)->setFocus(Qt::MouseFocusReason);
        QVERIFY(testsupport::writeFile(log("one.log"), "one changed\n"));
        QVERIFY(testsupport::writeFile(log("two.log"), "two changed\n"));
        press(Qt::Key_F5);
        const QList<Field *> fields = window->panels();
        QCOMPARE(text(fields[0]), active == 0 ? QStringLiteral("one changed\n")
                                              : QStringLiteral("needle one\nneedle two\n"));
        QCOMPARE(text(fields[1]), active == 1 ? QStringLiteral("two changed\n")
                                              : QStringLiteral("needle 2a\nneedle 2b\n"));
        // Reload leaves the cursor at the end, as the button does.
        QVERIFY(fields[active]->textEdit()->textCursor().atEnd());
    }

    void ctrlWClosesTheActivePanel()
    {
        QVERIFY(open(false, {"one.log", "two.log", "three.log"}));
        QVERIFY(focusPanel(1));
        const unsigned closedId = window->panels().at(1)->id;
        press(Qt::Key_W, Qt::ControlModifier);
        settle();
        QCOMPARE(window->panels().size(), 2);
        QCOMPARE(window->fieldById(closedId), nullptr);
        QCOMPARE(text(window->panels().at(0)), QStringLiteral("needle one\nneedle two\n"));
        QCOMPARE(text(window->panels().at(1)), QStringLiteral("three\n"));
        // As after the X button, a panel is active only if the focus went on into it.
        Field *next = window->activeField();
        if (next)
            QVERIFY(next->isAncestorOf(QApplication::focusWidget()));
        press(Qt::Key_W, Qt::ControlModifier);
        settle();
        QCOMPARE(window->panels().size(), next ? 1 : 2);
    }

    // With the last panel closed the search area is gone, and so are its keys.
    void searchKeysWithoutPanels()
    {
        QVERIFY(open(false, {"one.log"}));
        searchText()->setText(QStringLiteral("needle"));
        press(Qt::Key_W, Qt::ControlModifier);
        settle();
        QVERIFY(window->panels().isEmpty());
        requests.clear();
        press(Qt::Key_F, Qt::ControlModifier);
        press(Qt::Key_F3);
        press(Qt::Key_F3, Qt::ShiftModifier);
        press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        press(Qt::Key_F5);
        QVERIFY(requests.isEmpty());
        QVERIFY(QApplication::focusWidget() != searchText());
    }

    void ctrlOBrowsesInTheActivePanel_data()
    {
        QTest::addColumn<bool>("safetyFaultMode");
        QTest::addColumn<bool>("accept");
        QTest::newRow("cancelled") << false << false;
        QTest::newRow("file chosen") << false << true;
        QTest::newRow("safety faults, file chosen") << true << true;
    }

    void ctrlOBrowsesInTheActivePanel()
    {
        QFETCH(bool, safetyFaultMode);
        QFETCH(bool, accept);
        QVERIFY(open(safetyFaultMode, {"one.log", "two.log"}));
        if (safetyFaultMode)
            QVERIFY(window->panels().first()->openFile(log("one.log")));
        const QList<Field *> fields = window->panels();
        const QStringList before{text(fields.first()), text(fields.last())};

        // The dialog is modal; answer it as soon as it shows, and close anything else that
        // comes up (a refusal of the choice), so that the test never waits for a user.
        int fileMode = -1;
        QWidget *dialogParent = nullptr;
        QStringList chosen;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            if (modal && (!dialog || fileMode >= 0)) {
                modal->close();
                return;
            }
            if (!dialog)
                return;
            fileMode = dialog->fileMode();
            dialogParent = dialog->parentWidget();
            if (accept) {
                // Typed into the dialog's one text field, the file name, as a user would.
                if (auto *name = dialog->findChild<QLineEdit *>())
                    name->setText(log("three.log"));
                chosen = dialog->selectedFiles();
                static_cast<QDialog *>(dialog)->accept(); // with the dialog's own checks
            }
            if (dialog->isVisible())
                dialog->reject();
        });
        answer.start();
        press(Qt::Key_O, Qt::ControlModifier);
        answer.stop();

        QCOMPARE(fileMode, int(QFileDialog::ExistingFile)); // Browse..., not Add File(s)
        if (accept)
            QCOMPARE(chosen, QStringList{log("three.log")});
        QCOMPARE(dialogParent, window.get());
        QCOMPARE(window->panels().size(), fields.size());
        QCOMPARE(text(fields.last()), accept ? QStringLiteral("three\n") : before.last());
        if (fields.size() > 1)
            QCOMPARE(text(fields.first()), before.first());
    }

    // The single panel keeps Browse... and Reload; the search and close keys do nothing.
    void safetyFaultModeKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("reloads");
        QTest::newRow("F5") << int(Qt::Key_F5) << int(Qt::NoModifier) << true;
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier) << false;
        QTest::newRow("Ctrl+F") << int(Qt::Key_F) << int(Qt::ControlModifier) << false;
        QTest::newRow("F3") << int(Qt::Key_F3) << int(Qt::NoModifier) << false;
    }

    void safetyFaultModeKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, reloads);
        QVERIFY(open(true, {}));
        Field *field = window->panels().first();
        QVERIFY(field->openFile(log("one.log")));
        field->textEdit()->setFocus(Qt::MouseFocusReason);
        QVERIFY(testsupport::writeFile(log("one.log"), "changed\n"));
        press(key, modifiers);
        settle();
        QCOMPARE(window->panels(), QList<Field *>{field});
        QCOMPARE(text(field), reloads ? QStringLiteral("changed\n")
                                      : QStringLiteral("needle one\nneedle two\n"));
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
        QVERIFY(requests.isEmpty());
    }
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
