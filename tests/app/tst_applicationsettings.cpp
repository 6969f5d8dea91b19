#include "app/applicationsettings.h"
#include "app/scopetimer.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFontMetrics>
#include <QtTest>
#include <sys/stat.h>

namespace
{
struct FakeField {
    QString name;
    QString fileName() const { return name; }
};

} // namespace

class TestApplicationSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        ApplicationSettings::instance().clear();
    }

    void defaultsOnAnEmptyStore()
    {
        ApplicationSettings &settings = ApplicationSettings::instance();
        settings.clear();
        QCOMPARE(settings.organizationName(), QStringLiteral("Velmora Drives"));
        QCOMPARE(settings.applicationName(), QStringLiteral("tst_applicationsettings"));
        QCOMPARE(settings.fileNames(), QStringList{QDir::homePath()});
        QCOMPARE(settings.lastFileDialogPath(), QDir::homePath());
        QVERIFY(settings.mainWindowGeometry().isEmpty());
        QCOMPARE(settings.visualizedAreaWidth(), 400);
    }

    void roundTrips()
    {
        ApplicationSettings &settings = ApplicationSettings::instance();
        settings.setLastFileDialogPath(QStringLiteral("/var/log"));
        settings.setMainWindowGeometry(QByteArray("\x01\x02\x00\xff", 4));
        settings.setVisualizedAreaWidth(123);
        settings.sync();
        QCOMPARE(settings.lastFileDialogPath(), QStringLiteral("/var/log"));
        QCOMPARE(settings.mainWindowGeometry(), QByteArray("\x01\x02\x00\xff", 4));
        QCOMPARE(settings.visualizedAreaWidth(), 123);
    }

    // The store is rewritten through a new file, so an unchanged inode means nothing was written.
    void storingTheSameWidthWritesNothing()
    {
        ApplicationSettings &settings = ApplicationSettings::instance();
        settings.setVisualizedAreaWidth(321);
        settings.sync();
        const auto inode = [&] {
            struct stat status {
            };
            return ::stat(QFile::encodeName(settings.fileName()).constData(), &status) == 0
                       ? status.st_ino
                       : ino_t(0);
        };
        const ino_t before = inode();
        QVERIFY(before != 0);
        settings.setVisualizedAreaWidth(321);
        settings.sync();
        QCOMPARE(inode(), before);
        settings.setVisualizedAreaWidth(322);
        settings.sync();
        QVERIFY(inode() != before);
    }

    void fileNamesSplitting_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty string") << "" << QStringList{""};
        QTest::newRow("one") << "/a.log" << QStringList{"/a.log"};
        QTest::newRow("two") << "/a.log;/b.log" << QStringList{"/a.log", "/b.log"};
        QTest::newRow("double separator")
            << "/a.log;;/b.log" << QStringList{"/a.log", "", "/b.log"};
        QTest::newRow("only separators") << ";;" << QStringList{"", "", ""};
        QTest::newRow("trailing separator") << "/a.log;" << QStringList{"/a.log", ""};
    }

    void fileNamesSplitting()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, names);
        ApplicationSettings::instance().setValue(QStringLiteral("FileNames"), stored);
        QCOMPARE(ApplicationSettings::instance().fileNames(), names);
    }

    void setFileNamesJoinsInOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("stored");
        QTest::newRow("no panel") << QStringList{} << "";
        QTest::newRow("one empty panel") << QStringList{""} << "";
        QTest::newRow("three") << QStringList{"/a", "", "/c"} << "/a;;/c";
    }

    void setFileNamesJoinsInOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, stored);
        std::vector<FakeField> panels;
        for (const QString &name : names)
            panels.push_back({name});
        std::vector<FakeField *> pointers;
        for (FakeField &panel : panels)
            pointers.push_back(&panel);
        ApplicationSettings::instance().setFileNames(pointers);
        QCOMPARE(ApplicationSettings::instance().value("FileNames").toString(), stored);
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
        QFETCH(int, width);
        ApplicationSettings::instance().setValue(QStringLiteral("VisualizedAreaWidth"), stored);
        QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), width);
    }

    void textFontIsMonospaceTenPoint()
    {
        const QFont &font = ApplicationSettings::textFont();
        QCOMPARE(font.family(), QStringLiteral("unexistent"));
        QCOMPARE(font.pointSize(), 10);
        QCOMPARE(font.styleHint(), QFont::Monospace);
        // Matching must land on a fixed-pitch face (fontconfig does not flag every one as such).
        const QFontMetrics metrics(font);
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')),
                 metrics.horizontalAdvance(QLatin1Char('W')));
        // Every call hands out the same object.
        QCOMPARE(&ApplicationSettings::textFont(), &font);
    }

    // Timing lines stay off unless the logging rules turn them on.
    void scopeTimerIsQuietByDefault()
    {
        static QStringList messages;
        messages.clear();
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
};

QTEST_MAIN(TestApplicationSettings)
#include "tst_applicationsettings.moc"
