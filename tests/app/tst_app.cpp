// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"
#include "app/commandline.h"
#include "settings/scopetimer.h"

#include <QFontMetrics>
#include <QtTest>
#include <sys/stat.h>

// The app module: settings, the timing stopwatch and the command line.
class TestApp : public QObject
{
    Q_OBJECT

    // Made only once the test mode keeps settings away from the real store.
    static ApplicationSettings &settings() { return ApplicationSettings::instance(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { settings().clear(); }

    void defaultsAndRoundTrips()
    {
        QCOMPARE(settings().fileNames(), QStringList{QDir::homePath()});
        QCOMPARE(settings().lastFileDialogPath(), QDir::homePath());
        QVERIFY(settings().mainWindowGeometry().isEmpty());
        QCOMPARE(settings().visualizedAreaWidth(), 400);
        settings().setLastFileDialogPath(QStringLiteral("/var/log"));
        settings().setMainWindowGeometry(QByteArray("\x01\x02\x00\xff", 4));
        settings().setVisualizedAreaWidth(123);
        settings().sync();
        QCOMPARE(settings().lastFileDialogPath(), QStringLiteral("/var/log"));
        QCOMPARE(settings().mainWindowGeometry(), QByteArray("\x01\x02\x00\xff", 4));
        QCOMPARE(settings().visualizedAreaWidth(), 123);
    }

    // The store is rewritten through a new file, so an unchanged inode means nothing was written.
    void storingTheSameWidthWritesNothing()
    {
        settings().setVisualizedAreaWidth(321);
        settings().sync();
        const auto inode = [] {
            struct stat status {
            };
            return ::stat(QFile::encodeName(settings().fileName()).constData(), &status) == 0
                       ? status.st_ino
                       : ino_t(0);
        };
        const ino_t before = inode();
        QVERIFY(before != 0);
        settings().setVisualizedAreaWidth(321);
        settings().sync();
        QCOMPARE(inode(), before);
        settings().setVisualizedAreaWidth(322);
        settings().sync();
        QVERIFY(inode() != before);
    }

    void fileNamesSplitting_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty string") << "" << QStringList{""};
        QTest::newRow("one") << "/a.log" << QStringList{"/a.log"};
        QTest::newRow("double separator") << "/a;;/b" << QStringList{"/a", "", "/b"};
        QTest::newRow("only separators") << ";;" << QStringList{"", "", ""};
        QTest::newRow("trailing separator") << "/a.log;" << QStringList{"/a.log", ""};
    }

    void fileNamesSplitting()
    {
        QFETCH(QString, stored);
        settings().setValue(QStringLiteral("FileNames"), stored);
        QTEST(settings().fileNames(), "names");
    }

    void hostileWidthReadsAsNumberOrZero_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("width");
        QTest::newRow("not a number") << QVariant("wide") << 0;
        QTest::newRow("empty") << QVariant("") << 0;
        QTest::newRow("negative") << QVariant("-20") << -20;
        QTest::newRow("huge") << QVariant("1000000000") << 1000000000;
    }

    void hostileWidthReadsAsNumberOrZero()
    {
        QFETCH(QVariant, stored);
        settings().setValue(QStringLiteral("VisualizedAreaWidth"), stored);
        QTEST(settings().visualizedAreaWidth(), "width");
    }

    // Matching must land on a fixed-pitch face (fontconfig does not flag every one as such).
    void textFontIsFixedPitch()
    {
        const QFontMetrics metrics(ApplicationSettings::textFont());
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')),
                 metrics.horizontalAdvance(QLatin1Char('W')));
    }

    // Timing lines stay off unless the logging rules turn them on.
    void scopeTimerIsQuietByDefault()
    {
        static QStringList messages;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
        {
            ScopeTimer timer("search");
        }
        QLoggingCategory::setFilterRules(QStringLiteral("telvane.timing.debug=true"));
        {
            ScopeTimer timer("search");
        }
        QLoggingCategory::setFilterRules(QString());
        qInstallMessageHandler(previous);
        QCOMPARE(messages, QStringList{QStringLiteral("search: 0 msec")});
    }

    void commandLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<bool>("safetyFaultMode");
        QTest::addColumn<int>("language");
        using Args = QList<QByteArray>;
        QTest::newRow("no argument") << Args{} << false << int(English);
        QTest::newRow("Deutsch") << Args{"Deutsch"} << true << int(German);
        QTest::newRow("lower case") << Args{"deutsch"} << true << int(German);
        QTest::newRow("mixed case") << Args{"dEuTsCh"} << true << int(German);
        QTest::newRow("a file path") << Args{"/tmp/drive.log"} << true << int(English);
        QTest::newRow("empty argument") << Args{""} << true << int(English);
        QTest::newRow("near miss") << Args{"Deutsche"} << true << int(English);
        QTest::newRow("only the first counts") << Args{"x", "Deutsch"} << true << int(English);
        QTest::newRow("later arguments ignored") << Args{"Deutsch", "x"} << true << int(German);
    }

    void commandLine()
    {
        QFETCH(QList<QByteArray>, arguments);
        std::vector<const char *> argv{"telvane"};
        for (const QByteArray &argument : arguments)
            argv.push_back(argument.constData());
        const CommandLine commandLine = readCommandLine(int(argv.size()), argv.data());
        QTEST(commandLine.safetyFaultMode, "safetyFaultMode");
        QTEST(int(commandLine.language), "language");
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
