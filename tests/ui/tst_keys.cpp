// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "search/searchbar.h"
#include "searchcore/searchoptions.h"
#include "tests/testsupport.h"
#include "ui/field.h"
#include "ui/telvane.h"
#include "view/visualizedtextedit.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace
{
using Requests = QList<QPair<int, QString>>; // direction and text of each search request

QString text(const Field *field)
{
    return field->textEdit()->toPlainText();
}
} // namespace

// The window's keys, pressed where the focus is, as a user would. What the search bar does with
// a request is its own test's; here it matters that the keys reach it from anywhere.
class TestKeys : public QObject
{
    Q_OBJECT

    QTemporaryDir logs;
    std::unique_ptr<Telvane> window;
    Requests requests;

    QString log(const char *name) const { return logs.filePath(QLatin1String(name)); }

    // A shown, active window with a panel for each name; the last panel is the active one and
    // has the focus, unless there is none.
    bool open(bool safetyFaultMode, const QStringList &names)
    {
        QStringList files;
        for (const QString &name : names)
            files << logs.filePath(name);
        ApplicationSettings::instance().setValue("FileNames", files.join(QLatin1Char(';')));
        window = std::make_unique<Telvane>(safetyFaultMode);
        connect(window->searchBar(), &SearchBar::searchTriggered, this,
                [this](const SearchOptions &o) {
                    requests.append({o.searchDirection, o.text});
                });
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get()) && focusPanel(window->panels().size() - 1);
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

    // The search text, the active panel's file list or its log view, focused.
    QWidget *focus(const QString &name) const
    {
        QWidget *widget = name == "search text" ? searchText()
                          : name == "file list"
                              ? static_cast<QWidget *>(
                                    window->activeField()->findChild<QComboBox *>("fileNameInput"))
                              : window->activeField()->textEdit();
        widget->setFocus(Qt::MouseFocusReason);
        return widget;
    }

    // A key with its modifiers, int(Qt::CTRL) | Qt::Key_F say.
    void press(int key)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
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
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("direction"); // -1: no request
        const int findAll = int(Qt::CTRL) | Qt::SHIFT | Qt::Key_F;
        QTest::newRow("F3 in the log view") << "view" << int(Qt::Key_F3) << "n" << int(FindNext);
        QTest::newRow("Shift+F3 in the search text")
            << "search text" << (int(Qt::SHIFT) | Qt::Key_F3) << "n" << int(FindPrevious);
        QTest::newRow("F3 in the file list")
            << "file list" << int(Qt::Key_F3) << "n" << int(FindNext);
        QTest::newRow("Ctrl+Shift+F") << "view" << findAll << "n" << int(FindAll);
        QTest::newRow("Ctrl+Shift+F, Find All disabled") << "view" << findAll << "" << -1;
    }

    void searchKeys()
    {
        QFETCH(QString, typed);
        QFETCH(int, direction);
        QVERIFY(open(false, {"one.log", "two.log"}));
        searchText()->setText(typed);
        QFETCH(QString, focus);
        QWidget *target = this->focus(focus);
        requests.clear();
        QFETCH(int, key);
        press(key);
        QCOMPARE(requests, direction < 0 ? Requests() : Requests({{direction, typed}}));
        QCOMPARE(QApplication::focusWidget(), target);
    }

    void ctrlFSelectsTheSearchText_data()
    {
        QTest::addColumn<QString>("focus");
        for (const char *focus : {"view", "file list", "search text"})
            QTest::newRow(focus) << focus;
    }

    void ctrlFSelectsTheSearchText()
    {
        QFETCH(QString, focus);
        QVERIFY(open(false, {"one.log", "two.log"}));
        Field *active = window->activeField();
        searchText()->setText(QStringLiteral("needle"));
        this->focus(focus);
        searchText()->setCursorPosition(2);
        requests.clear();
        press(int(Qt::CTRL) | Qt::Key_F);
        QCOMPARE(QApplication::focusWidget(), searchText());
        QCOMPARE(searchText()->selectedText(), QStringLiteral("needle"));
        QVERIFY(requests.isEmpty());
        QCOMPARE(window->activeField(), active);
    }

    // Esc in the search text goes back to the active panel, here the middle one of three.
    void escapeReturnsToTheActiveView()
    {
        QVERIFY(open(false, {"one.log", "two.log", "three.log"}));
        QVERIFY(focusPanel(1));
        press(int(Qt::CTRL) | Qt::Key_F);
        QCOMPARE(QApplication::focusWidget(), searchText());
        press(Qt::Key_Escape);
        Field *field = window->panels().at(1);
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
        QCOMPARE(window->activeField(), field);
        QVERIFY(requests.isEmpty());
        press(Qt::Key_Escape); // not taken elsewhere: the view keeps the focus
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
    }

    void f5ReloadsTheActivePanel_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<QString>("focus");
        QTest::newRow("first, from its view") << 0 << "view";
        QTest::newRow("second, from the search text") << 1 << "search text";
    }

    void f5ReloadsTheActivePanel()
    {
        QFETCH(int, active);
        QFETCH(QString, focus);
        QVERIFY(open(false, {"one.log", "two.log"}));
        QVERIFY(focusPanel(active));
        this->focus(focus);
        QVERIFY(testsupport::writeFile(log("one.log"), "one changed\n"));
        QVERIFY(testsupport::writeFile(log("two.log"), "two changed\n"));
        press(Qt::Key_F5);
        const QList<Field *> fields = window->panels();
        QCOMPARE(text(fields[0]), active == 0 ? "one changed\n" : "needle one\nneedle two\n");
        QCOMPARE(text(fields[1]), active == 1 ? "two changed\n" : "needle 2a\nneedle 2b\n");
        // Reload leaves the cursor at the end, as the button does.
        QVERIFY(fields[active]->textEdit()->textCursor().atEnd());
    }

    void ctrlWClosesTheActivePanel()
    {
        QVERIFY(open(false, {"one.log", "two.log", "three.log"}));
        QVERIFY(focusPanel(1));
        const unsigned closedId = window->panels().at(1)->id;
        press(int(Qt::CTRL) | Qt::Key_W);
        testsupport::deleteClosed();
        QCOMPARE(window->panels().size(), 2);
        QCOMPARE(window->fieldById(closedId), nullptr);
        QCOMPARE(text(window->panels().at(0)), QStringLiteral("needle one\nneedle two\n"));
        QCOMPARE(text(window->panels().at(1)), QStringLiteral("three\n"));
        // As after the X button, a panel is active only if the focus went on into it.
        Field *next = window->activeField();
        if (next)
            QVERIFY(next->isAncestorOf(QApplication::focusWidget()));
        press(int(Qt::CTRL) | Qt::Key_W);
        testsupport::deleteClosed();
        QCOMPARE(window->panels().size(), next ? 1 : 2);
    }

    // With no panel active Esc leaves the focus in the search text; with the last panel closed
    // the search area is gone, and so are its keys.
    void keysWithoutActivePanel()
    {
        QVERIFY(open(false, {"one.log", "two.log"}));
        searchText()->setText(QStringLiteral("needle"));
        press(int(Qt::CTRL) | Qt::Key_W);
        testsupport::deleteClosed();
        QCOMPARE(window->activeField(), nullptr);
        press(int(Qt::CTRL) | Qt::Key_F);
        press(Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), searchText());
        QCOMPARE(window->activeField(), nullptr);
        QTest::mouseClick(window->panels().first()->closeButton(), Qt::LeftButton);
        testsupport::deleteClosed();
        QVERIFY(window->panels().isEmpty());
        requests.clear();
        press(int(Qt::CTRL) | Qt::Key_F);
        press(Qt::Key_F3);
        press(int(Qt::SHIFT) | Qt::Key_F3);
        press(int(Qt::CTRL) | Qt::SHIFT | Qt::Key_F);
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
            // Typed into the dialog's one text field, the file name, as a user would.
            if (auto *name = dialog->findChild<QLineEdit *>(); name && accept)
                name->setText(log("three.log"));
            if (accept)
                static_cast<QDialog *>(dialog)->accept(); // with the dialog's own checks
            if (dialog->isVisible())
                dialog->reject();
        });
        answer.start();
        press(int(Qt::CTRL) | Qt::Key_O);
        answer.stop();

        QCOMPARE(fileMode, int(QFileDialog::ExistingFile)); // Browse..., not Add File(s)
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
        for (const int key : {int(Qt::Key_F5), int(Qt::CTRL) | Qt::Key_W, int(Qt::CTRL) | Qt::Key_F,
                              int(Qt::Key_F3)})
            QTest::newRow(qPrintable(QKeySequence(key).toString())) << key;
    }

    void safetyFaultModeKeys()
    {
        QFETCH(int, key);
        QVERIFY(open(true, {}));
        Field *field = window->panels().first();
        QVERIFY(field->openFile(log("one.log")));
        field->textEdit()->setFocus(Qt::MouseFocusReason);
        QVERIFY(testsupport::writeFile(log("one.log"), "changed\n"));
        press(key);
        testsupport::deleteClosed();
        QCOMPARE(window->panels(), QList<Field *>{field});
        QCOMPARE(text(field), key == Qt::Key_F5 ? "changed\n" : "needle one\nneedle two\n");
        QCOMPARE(QApplication::focusWidget(), field->textEdit());
        QVERIFY(requests.isEmpty());
    }
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
