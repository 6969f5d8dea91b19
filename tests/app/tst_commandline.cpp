#include "app/commandline.h"
#include "telegram/textlanguage.h"

#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void modeAndLanguage_data()
    {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<bool>("safetyFaultMode");
        QTest::addColumn<int>("language");

        using Args = QList<QByteArray>;
        QTest::newRow("no argument") << Args{} << false << int(English);
        QTest::newRow("Deutsch") << Args{"Deutsch"} << true << int(German);
        QTest::newRow("lower case") << Args{"deutsch"} << true << int(German);
        QTest::newRow("upper case") << Args{"DEUTSCH"} << true << int(German);
        QTest::newRow("mixed case") << Args{"dEuTsCh"} << true << int(German);
        QTest::newRow("a file path") << Args{"/tmp/drive.log"} << true << int(English);
        QTest::newRow("empty argument") << Args{""} << true << int(English);
        QTest::newRow("near miss") << Args{"Deutsche"} << true << int(English);
        QTest::newRow("only the first counts") << Args{"x", "Deutsch"} << true << int(English);
        QTest::newRow("later arguments ignored") << Args{"Deutsch", "x"} << true << int(German);
    }

    void modeAndLanguage()
    {
        QFETCH(QList<QByteArray>, arguments);
        QFETCH(bool, safetyFaultMode);
        QFETCH(int, language);

        std::vector<const char *> argv{"telvane"};
        for (const QByteArray &argument : arguments)
            argv.push_back(argument.constData());
        const CommandLine commandLine = readCommandLine(int(argv.size()), argv.data());
        QCOMPARE(commandLine.safetyFaultMode, safetyFaultMode);
        QCOMPARE(commandLine.language, language);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
