#include "telegram/recordtext.h"
#include "telegram/telegramdecoder.h"
#include "telegram/values.h"

#include <QtTest>

namespace
{
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A 64-byte envelope: direction byte, an unexamined length byte, the inner telegram, padding.
QByteArray envelope(int direction, const QByteArray &inner)
{
    QByteArray bytes;
    bytes.append(char(direction)).append(char(inner.size())).append(inner);
    bytes.append(QByteArray(64 - bytes.size(), '\0'));
    return bytes;
}

// The 8-byte PPO3 form in an envelope: 04/03, 08, 02 06 address, the rest zero.
QByteArray ppo3Envelope(int direction)
{
    QByteArray bytes = hex("0008020605");
    bytes[0] = char(direction);
    return bytes + QByteArray(59, '\0');
}

// A decode row; `fields` is "protocol|address|parameter|value|error".
void row(const char *name, int direction, const QByteArray &bytes, int type, const QString &fields)
{
    QTest::newRow(name) << direction << bytes << type << fields;
}

void rejected(const char *name, const QByteArray &bytes, int direction = 0)
{
    row(name, direction, bytes, 0, QString());
}
} // namespace

class TestTelegramDecoder : public QObject
{
    Q_OBJECT

private slots:
    void valueBlock_data();
    void valueBlock();
    void valueBlockOffsets();
    void responseTexts();
    void decode_data();
    void decode();
    void rejectedOutputsDoNotLeak();
    void recordTexts_data();
    void recordTexts();
};

void TestTelegramDecoder::valueBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset");

    QTest::newRow("uint32") << hex("070100000 1F4") << true << "500" << 6;
    QTest::newRow("int32 unsigned") << hex("0401FFFFFFFF") << true << "4294967295" << 6;
    QTest::newRow("float raw bits") << hex("08013F800000") << true << "1065353216" << 6;
    QTest::newRow("one byte occupies two") << hex("010101") << true << "1" << 4;
    QTest::newRow("uint16") << hex("060105DC") << true << "1500" << 4;
    QTest::newRow("invalid is two wide") << hex("00010102") << true << "258" << 4;
    QTest::newRow("text") << hex("0903414243") << true << "\"ABC\"" << 5;
    QTest::newRow("text stops at zero") << hex("090441004243") << true << "\"A\"" << 6;
    QTest::newRow("text empty") << hex("0900") << true << "\"\"" << 2;
    QTest::newRow("bytes") << hex("0A020AFF") << true << "[0A FF]" << 4;
    QTest::newRow("time of day") << hex("0C01000102030405") << true
                                 << "TimeOfDayWithDate:[00 01 02 03 04 05]" << 8;
    QTest::newRow("time of day short") << hex("0C010001020304") << false << "" << 2;
    QTest::newRow("count must be 1") << hex("070200000001") << false << "" << 2;
    QTest::newRow("unknown code") << hex("0B0100000001") << false << "" << 2;
    QTest::newRow("text one byte short") << hex("09034142") << false << "" << 2;
    QTest::newRow("uint32 one byte short") << hex("0701000001") << false << "" << 2;
    QTest::newRow("header only one byte") << hex("07") << false << "" << 0;
}

void TestTelegramDecoder::valueBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    int at = 0;
    QString out;
    const auto *data = reinterpret_cast<const uchar *>(block.constData());
    QCOMPARE(decodeValueBlock(data, at, block.size(), out), ok);
    if (ok)
        QCOMPARE(out, text);
    QTEST(at, "offset");
}

void TestTelegramDecoder::valueBlockOffsets()
{
    // Two one-byte values: each block is header + two bytes.
    const QByteArray data = hex("0201FF00050107");
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    QString text;
    QCOMPARE(decodeParameterValues(2, bytes, data.size(), text), int(ResponseOK));
    QCOMPARE(text, QStringLiteral("2 values { 255 7 }"));
    // A list that ends after its second block although three are announced fails as a whole.
    QCOMPARE(decodeParameterValues(3, bytes, data.size(), text), 0);
    QVERIFY(text.isEmpty());
}

// Error texts are checked through the decode rows; these are the ones no row reaches.
void TestTelegramDecoder::responseTexts()
{
    QCOMPARE(responseIdText(7), QStringLiteral("Error"));
    QCOMPARE(responseIdText(0), QStringLiteral("No Resonse"));
    QCOMPARE(responseIdText(5), QStringLiteral("Unknown error"));
    QCOMPARE(toHexString(QByteArray()), QString());
    QCOMPARE(toHexString(hex("00ab10")), QStringLiteral("00 AB 10"));
    for (const int outside : {-1, 0, 1, 10})
        QVERIFY(telegramTypeName(outside).isNull());
}

void TestTelegramDecoder::decode_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fields");

    // PPO3, one line and enveloped
    row("ppo3 request", 0, hex("0206050000000000"), PPO3Request, "TL|5|||");
    row("ppo3 response", 0, hex("020605047F000000"), PPO3Response, "TL|5|||");
    row("ppo3 address 126 with top bit", 0, hex("0206FE0000000000"), PPO3Request, "TL|126|||");
    rejected("ppo3 address 0", hex("0206000000000000"));
    rejected("ppo3 address 7F", hex("0206FF0000000000"));
    rejected("ppo3 seven bytes", hex("02060500000000"));
    row("ppo3 envelope sent", 0, ppo3Envelope(4), PPO3Request, "TL|5|||");
    row("ppo3 envelope received", 0, ppo3Envelope(3), PPO3Response, "TL|5|||");
    rejected("ppo3 envelope 63 bytes", ppo3Envelope(4).left(63));

    // DP-V1
    row("dpv1 read", 0, hex("FF010001100103E80000"), Read, "DPV1||1000.0||");
    row("dpv1 read response", 0, hex("FF0100014301000001F4"), ResponseOK, "DPV1|||500|");
    row("dpv1 positive response", 1, hex("FF020001"), ResponseOK, "DPV1||||");
    rejected("dpv1 three bytes", hex("FF0200"));
    rejected("dpv1 axis 1", hex("FF010101100103E80000"));
    row("dpv1 reading error", 0, hex("FF81000144010000"), ResponseError, "DPV1||||Reading error");
    row("dpv1 writing error", 0, hex("FF820001"), ResponseError, "DPV1||||Writing error");
    row("dpv1 read three parameters", 0, hex("FF010003100103E80000100103E90000100103EA0002"), Read,
        "DPV1||3 parameters { 1000.0 1001.0 1002.2 }||");
    rejected("dpv1 three parameters, last block one byte short",
             hex("FF010003100103E80000100103E90000100103EA00"));
    rejected("dpv1 attribute 0x20 falls back to values", hex("FF010001200103E80000"));
    row("dpv1 attribute 0x20 read as values", 0, hex("FF010001060105DC"), ResponseOK,
        "DPV1|||1500|");
    row("dpv1 write", 0, hex("FF420001100103E800000701000005DC"), Write, "DPV1||1000.0|1500|");
    row("dpv1 write volatile", 0, hex("FF020001100103E800000701000005DC"), WriteVolatile,
        "DPV1||1000.0|1500|");
    rejected("dpv1 write unknown id", hex("FF430001100103E800000701000005DC"));
    rejected("dpv1 write value short", hex("FF420001100103E8000007010000 05"));
    row("dpv1 write two parameters", 0, hex("FF420002100103F20000100103F3000006010064090341 4243"),
        Write, "DPV1||2 parameters { 1010.0 1011.0 }|2 values { 100 \"ABC\" }|");

    // TL, sent
    const QByteArray tlRead = hex("020E0512340000000001F4047F000000");
    row("tl read, also a response on one line", 0, tlRead, Read, "TL|5|564.0||");
    rejected("tl fourteen bytes", hex("020C0512340000000001F4047F00"));
    rejected("tl length byte off by one", hex("020F0512340000000001F4047F000000"));
    row("tl write ak2", 0, hex("020E05219A0000000005DC047F000000"), Write, "TL|5|410.0|1500|");
    row("tl write ak14 index 258", 0, hex("020E05E19A0102000005DC047F000000"), Write,
        "TL|5|410.258|1500|");
    row("tl read description", 0, hex("020E054234000100000000047F000000"), ReadDescription,
        "TL|5|564.1||");
    row("tl text read sub 4", 0, hex("020E05F00C040300000000047F000000"), Read, "TL|5|12.3||");
    row("tl text write", 0, hex("021005F00C010350756D702041047F000000"), Write,
        "TL|5|12.3|\"Pump A\"|");
    rejected("tl text sub 2", hex("021005F00C020350756D702041047F000000"));
    rejected("tl ak 5 sent", hex("020E055234000000000000047F000000"));

    // TL, received
    row("tl read response", 1, tlRead, ResponseOK, "TL|5|564.0|500|");
    row("tl no response", 1, hex("020E050234000000000000047F000000"), ResponseError,
        "TL|5|564.0||No response");
    row("tl error known", 1, hex("020E05719A000000000002047F000000"), ResponseError,
        "TL|5|410.0||Error: \"Upper Or Lower Limit Exceeded [0x02]\"");
    row("tl error unknown", 1, hex("020E05719A000000000099047F000000"), ResponseError,
        "TL|5|410.0||Error: \"Unknown error[0x99]\"");
    row("tl error text sub 5", 1, hex("020E05700D050400000011047F000000"), ResponseError,
        "TL|5|13.4||Error: \"Not While Running [0x11]\"");
    row("tl text response with zero", 1, hex("021005F00C0003414200430000047F000000"), ResponseOK,
        "TL|5|12.3|\"AB\"|");
    rejected("tl ak 4 received", hex("020E054234000100000000047F000000"), 1);

    // TLRX
    const QByteArray tlrxResponse = hex("03130580FF000001100101F400000701000005AAAA");
    row("tlrx read", 0, hex("030F0580FF000001100101F400000701AA"), Read, "TLRX|5|500.0||");
    rejected("tlrx sixteen bytes", hex("030E0580FF000001100101F4000007AA"));
    rejected("tlrx status 0", hex("030F058000000001100101F400000701AA"));
    rejected("tlrx byte 8", hex("030F0580FF000001110101F400000701AA"));
    row("tlrx write text", 0, hex("03110581FF0000011001000C000309014142AA"), Write,
        "TLRX|5|12.3|\"AB\"|");
    row("tlrx write number", 0, hex("03130581FF000001100101F400000701000005DCAA"), Write,
        "TLRX|5|500.0|1500|");
    row("tlrx write without value", 0, hex("030F0581FF000001100101F400000701AA"), Write,
        "TLRX|5|500.0||");
    row("tlrx read response", 1, tlrxResponse, ResponseOK, "TLRX|5|500.0|1450|");
    row("tlrx short read response", 1, hex("030F0580FF000001100101F400000101AA"), ResponseError,
        "TLRX|5|500.0||\"OK [0xFF]\"");
    row("tlrx write response", 1, hex("030F0581FF000001100101F400000701AA"), ResponseOK,
        "TLRX|5|500.0||");
    rejected("tlrx command 82", hex("030F0582FF000001100101F400000701AA"), 1);

    // Envelopes
    row("envelope tl sent", 0, envelope(4, tlRead), Read, "TL|5|564.0||");
    row("envelope tl received on one line", 0, envelope(3, tlRead), ResponseOK, "TL|5|564.0|500|");
    QByteArray inner60 = hex("023C05F00E0000") + QByteArray(49, 'x') + hex("00047F000055");
    row("envelope inner length 60", 0, envelope(3, inner60), ResponseOK,
        "TL|5|14.0|\"" + QString(49, QLatin1Char('x')) + "\"|");
    inner60[1] = 61;
    rejected("envelope inner length 61", envelope(3, inner60));
    row("envelope tlrx received", 0, envelope(3, tlrxResponse), ResponseOK, "TLRX|5|500.0|1450|");
    rejected("empty", QByteArray());
}

void TestTelegramDecoder::decode()
{
    QFETCH(int, direction);
    QFETCH(QByteArray, bytes);
    QFETCH(int, type);
    QString protocol, address, parameter, value, error;
    QCOMPARE(decodeTelegram(direction, bytes, protocol, address, parameter, value, error), type);
    if (type == 0)
        return; // a rejected telegram's outputs are not read by anyone
    QTEST(QStringList({protocol, address, parameter, value, error}).join(QLatin1Char('|')),
          "fields");
}

void TestTelegramDecoder::rejectedOutputsDoNotLeak()
{
    // A framed telegram with a bad command must not leave a value behind for the TL decoder.
    QString protocol, address, parameter, value, error;
    const QByteArray bad = hex("030F0582FF000001100101F400000701AA");
    QCOMPARE(decodeTlrxTelegram(2, bad, protocol, address, parameter, value, error), 0);
    QVERIFY(protocol.isNull() && value.isNull() && parameter.isNull());
}

void TestTelegramDecoder::recordTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fields"); // "protocol|address|parameter|value|error|data"
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QString>("details");

    const auto row = [](const char *name, int type, const QString &fields, const QString &head,
                        const QString &tail, const QString &details) {
        QTest::newRow(name) << type << fields << head << tail << details;
    };
    const QString dots(1000, QLatin1Char('.'));
    row("no telegram", NoTelegram, "TL|5|1.0|2||", "", "", "");
    row("data", Data, "TL|||||ABCDEFG", "len = 007 [ABCDEFG]", "", "len = 007 [ABCDEFG]");
    row("long data", Data, "|||||" + dots, "len = 1000 [" + dots + "]", "",
        "len = 1000 [" + dots + "]");
    row("read", Read, "DPV1|1|1234.0|||", "DPV1 ADDR=1 ", "PARAM=1234.0 ",
        "DPV1 ADDR=1 \"READING REQUEST\" PARAM=1234.0 ");
    row("error without parameter", ResponseError, "DPV1||||Reading error|", "DPV1 ",
        "Reading error", "DPV1 \"RESPONSE: ERROR\" Reading error");
    row("value without parameter", ResponseOK, "DPV1|||500||", "DPV1 ", "VALUE=500 ",
        "DPV1 \"RESPONSE: OK\" VALUE=500 ");
    row("everything", ResponseError, "TL|5|410.0|7|Error: x|", "TL ADDR=5 ",
        "PARAM=410.0 VALUE=7 Error: x",
        "TL ADDR=5 \"RESPONSE: ERROR\" PARAM=410.0 VALUE=7 Error: x");
    row("nothing set", ResponseOK, "|||||", "", "", "\"RESPONSE: OK\" ");
}

void TestTelegramDecoder::recordTexts()
{
    QFETCH(int, type);
    QFETCH(QString, fields);
    const QStringList parts = fields.split(QLatin1Char('|'));
    TelegramRecord record;
    record.type = type;
    record.protocol = parts.at(0);
    record.address = parts.at(1);
    record.parameter = parts.at(2);
    record.value = parts.at(3);
    record.error = parts.at(4);
    record.data = parts.at(5);
    const RecordText text = recordText(record);
    QTEST(text.head, "head");
    QTEST(text.tail, "tail");
    QTEST(recordDetails(record, true), "details");
    if (type > Data)
        QCOMPARE(recordDetails(record, false), text.head + text.tail);
}

QTEST_APPLESS_MAIN(TestTelegramDecoder)
#include "tst_telegramdecoder.moc"
