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
    void typeNames();
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
    QFETCH(int, offset);
    int at = 0;
    QString out;
    QCOMPARE(
        decodeValueBlock(reinterpret_cast<const uchar *>(block.constData()), at, block.size(), out),
        ok);
    if (ok)
        QCOMPARE(out, text);
    QCOMPARE(at, offset);
}

void TestTelegramDecoder::valueBlockOffsets()
{
    // Two one-byte values: each block is header + two bytes.
    const QByteArray data = hex("0201FF00050107");
    QString text;
    QCOMPARE(decodeParameterValues(2, reinterpret_cast<const uchar *>(data.constData()),
                                   data.size(), text),
             int(ResponseOK));
    QCOMPARE(text, QStringLiteral("2 values { 255 7 }"));
    // A list that ends after its second block although three are announced fails as a whole.
    QCOMPARE(decodeParameterValues(3, reinterpret_cast<const uchar *>(data.constData()),
                                   data.size(), text),
             0);
    QVERIFY(text.isEmpty());
}

void TestTelegramDecoder::responseTexts()
{
    QCOMPARE(errorText(0x02), QStringLiteral("\"Upper Or Lower Limit Exceeded [0x02]\""));
    QCOMPARE(errorText(0x13), QStringLiteral("\"Unknown error[0x13]\""));
    QCOMPARE(errorText(0xFF), QStringLiteral("\"OK [0xFF]\""));
    QCOMPARE(responseIdText(7), QStringLiteral("Error"));
    QCOMPARE(responseIdText(0), QStringLiteral("No Resonse"));
    QCOMPARE(responseIdText(5), QStringLiteral("Unknown error"));
    QCOMPARE(toHexString(QByteArray()), QString());
    QCOMPARE(toHexString(hex("00ab10")), QStringLiteral("00 AB 10"));
}

void TestTelegramDecoder::decode_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("error");

    const QString none;
    // PPO3, one line and enveloped
    QTest::newRow("ppo3 request") << 0 << hex("0206050000000000") << int(PPO3Request) << "TL"
                                  << "5" << none << none << none;
    QTest::newRow("ppo3 response") << 0 << hex("020605047F000000") << int(PPO3Response) << "TL"
                                   << "5" << none << none << none;
    QTest::newRow("ppo3 address 126 with top bit")
        << 0 << hex("020 6FE0000000000") << int(PPO3Request) << "TL"
        << "126" << none << none << none;
    QTest::newRow("ppo3 address 0")
        << 0 << hex("0206000000000000") << 0 << none << none << none << none << none;
    QTest::newRow("ppo3 address 7F")
        << 0 << hex("0206FF0000000000") << 0 << none << none << none << none << none;
    QTest::newRow("ppo3 seven bytes")
        << 0 << hex("02060500000000") << 0 << none << none << none << none << none;
    QTest::newRow("ppo3 envelope sent") << 0 << ppo3Envelope(4) << int(PPO3Request) << "TL"
                                        << "5" << none << none << none;
    QTest::newRow("ppo3 envelope received") << 0 << ppo3Envelope(3) << int(PPO3Response) << "TL"
                                            << "5" << none << none << none;
    QTest::newRow("ppo3 envelope 63 bytes")
        << 0 << ppo3Envelope(4).left(63) << 0 << none << none << none << none << none;

    // DP-V1
    QTest::newRow("dpv1 read") << 0 << hex("FF0100011001 03E80000") << int(Read) << "DPV1" << none
                               << "1000.0" << none << none;
    QTest::newRow("dpv1 read response") << 0 << hex("FF010001430100 0001F4") << int(ResponseOK)
                                        << "DPV1" << none << none << "500" << none;
    QTest::newRow("dpv1 positive response")
        << 1 << hex("FF020001") << int(ResponseOK) << "DPV1" << none << none << none << none;
    QTest::newRow("dpv1 three bytes")
        << 0 << hex("FF0200") << 0 << none << none << none << none << none;
    QTest::newRow("dpv1 axis 1") << 0 << hex("FF0101011001 03E80000") << 0 << none << none << none
                                 << none << none;
    QTest::newRow("dpv1 reading error") << 0 << hex("FF81000144010000") << int(ResponseError)
                                        << "DPV1" << none << none << none << "Reading error";
    QTest::newRow("dpv1 writing error") << 0 << hex("FF820001") << int(ResponseError) << "DPV1"
                                        << none << none << none << "Writing error";
    QTest::newRow("dpv1 read three parameters")
        << 0 << hex("FF010003100103E80000100103E90000100103EA0002") << int(Read) << "DPV1" << none
        << "3 parameters { 1000.0 1001.0 1002.2 }" << none << none;
    QTest::newRow("dpv1 three parameters, last block one byte short")
        << 0 << hex("FF010003100103E80000100103E90000100103EA00") << 0 << "DPV1" << none << none
        << none << none;
    QTest::newRow("dpv1 attribute 0x20 falls back to values")
        << 0 << hex("FF0100012001 03E80000") << 0 << "DPV1" << none << none << none << none;
    QTest::newRow("dpv1 attribute 0x20 read as values")
        << 0 << hex("FF010001060105DC") << int(ResponseOK) << "DPV1" << none << none << "1500"
        << none;
    QTest::newRow("dpv1 write") << 0 << hex("FF4200011001 03E80000 0701000005DC") << int(Write)
                                << "DPV1" << none << "1000.0"
                                << "1500" << none;
    QTest::newRow("dpv1 write volatile") << 0 << hex("FF0200011001 03E80000 0701000005DC")
                                         << int(WriteVolatile) << "DPV1" << none << "1000.0"
                                         << "1500" << none;
    QTest::newRow("dpv1 write unknown id")
        << 0 << hex("FF4300011001 03E80000 0701000005DC") << 0 << "DPV1" << none << "1000.0"
        << "1500" << none;
    QTest::newRow("dpv1 write value short") << 0 << hex("FF4200011001 03E80000 0701000005") << 0
                                            << "DPV1" << none << "1000.0" << none << none;
    QTest::newRow("dpv1 write two parameters")
        << 0 << hex("FF420002100103F20000100103F3000006010064090341 4243") << int(Write) << "DPV1"
        << none << "2 parameters { 1010.0 1011.0 }"
        << "2 values { 100 \"ABC\" }" << none;

    // TL, sent
    const QByteArray tlRead = hex("020E051234000000000 1F4" + QByteArray("047F000000"));
    QTest::newRow("tl read") << 0 << tlRead << int(Read) << "TL"
                             << "5"
                             << "564.0" << none << none;
    QTest::newRow("tl fourteen bytes")
        << 0 << hex("020C051234000000000 1F404 7F00") << 0 << none << none << none << none << none;
    QTest::newRow("tl length byte off by one") << 0 << hex("020F051234000000000 1F4047F000000") << 0
                                               << none << none << none << none << none;
    QTest::newRow("tl write ak2") << 0 << hex("020E05219A0000000005DC047F000000") << int(Write)
                                  << "TL"
                                  << "5"
                                  << "410.0"
                                  << "1500" << none;
    QTest::newRow("tl write ak14 index 258")
        << 0 << hex("020E05E19A0102000005DC047F000000") << int(Write) << "TL"
        << "5"
        << "410.258"
        << "1500" << none;
    QTest::newRow("tl read description")
        << 0 << hex("020E0542340001000000000 47F000000") << int(ReadDescription) << "TL"
        << "5"
        << "564.1" << none << none;
    QTest::newRow("tl text read sub 4")
        << 0 << hex("020E05F00C04030000000 0047F000000") << int(Read) << "TL"
        << "5"
        << "12.3" << none << none;
    QTest::newRow("tl text write")
        << 0 << hex("021005F00C010350756D702041047F000000") << int(Write) << "TL"
        << "5"
        << "12.3"
        << "\"Pump A\"" << none;
    QTest::newRow("tl text sub 2") << 0 << hex("021005F00C020350756D702041047F000000") << 0 << none
                                   << none << none << none << none;
    QTest::newRow("tl ak 5 sent") << 0 << hex("020E055234000000000000047F000000") << 0 << none
                                  << none << none << none << none;
    QTest::newRow("tl response on one line is a request")
        << 0 << hex("020E05123400000000 01F4047F000000") << int(Read) << "TL"
        << "5"
        << "564.0" << none << none;

    // TL, received
    QTest::newRow("tl read response")
        << 1 << hex("020E05123400000000 01F4047F000000") << int(ResponseOK) << "TL"
        << "5"
        << "564.0"
        << "500" << none;
    QTest::newRow("tl no response")
        << 1 << hex("020E050234000000000000047F000000") << int(ResponseError) << "TL"
        << "5"
        << "564.0" << none << "No response";
    QTest::newRow("tl error known")
        << 1 << hex("020E05719A00000000 0002047F000000") << int(ResponseError) << "TL"
        << "5"
        << "410.0" << none << "Error: \"Upper Or Lower Limit Exceeded [0x02]\"";
    QTest::newRow("tl error unknown")
        << 1 << hex("020E05719A00000000 0099047F000000") << int(ResponseError) << "TL"
        << "5"
        << "410.0" << none << "Error: \"Unknown error[0x99]\"";
    QTest::newRow("tl error text sub 5")
        << 1 << hex("020E05700D050400000011047F000000") << int(ResponseError) << "TL"
        << "5"
        << "13.4" << none << "Error: \"Not While Running [0x11]\"";
    QTest::newRow("tl text response with zero")
        << 1 << hex("021005F00C0003414200430000047F000000") << int(ResponseOK) << "TL"
        << "5"
        << "12.3"
        << "\"AB\"" << none;
    QTest::newRow("tl ak 4 received") << 1 << hex("020E0542340001000000000 47F000000") << 0 << none
                                      << none << none << none << none;

    // TLRX
    QTest::newRow("tlrx read") << 0 << hex("030F0580FF0000011001 01F40000 0701 AA") << int(Read)
                               << "TLRX"
                               << "5"
                               << "500.0" << none << none;
    QTest::newRow("tlrx sixteen bytes") << 0 << hex("030E0580FF0000011001 01F40000 07 AA") << 0
                                        << none << none << none << none << none;
    QTest::newRow("tlrx status 0") << 0 << hex("030F058000000001100101F400000701AA") << 0 << none
                                   << none << none << none << none;
    QTest::newRow("tlrx byte 8") << 0 << hex("030F0580FF0000011101 01F40000 0701 AA") << 0 << none
                                 << none << none << none << none;
    QTest::newRow("tlrx write text")
        << 0 << hex("03110581FF0000011001 000C0003 0901 4142 AA") << int(Write) << "TLRX"
        << "5"
        << "12.3"
        << "\"AB\"" << none;
    QTest::newRow("tlrx write number")
        << 0 << hex("03130581FF00000110 0101F40000070100 0005DCAA") << int(Write) << "TLRX"
        << "5"
        << "500.0"
        << "1500" << none;
    QTest::newRow("tlrx write without value")
        << 0 << hex("030F0581FF0000011001 01F40000 0701 AA") << int(Write) << "TLRX"
        << "5"
        << "500.0" << none << none;
    QTest::newRow("tlrx read response")
        << 1 << hex("03130580FF00000110 0101F40000070100 0005AAAA") << int(ResponseOK) << "TLRX"
        << "5"
        << "500.0"
        << "1450" << none;
    QTest::newRow("tlrx short read response")
        << 1 << hex("030F0580FF0000011001 01F40000 0101 AA") << int(ResponseError) << "TLRX"
        << "5"
        << "500.0" << none << "\"OK [0xFF]\"";
    QTest::newRow("tlrx write response")
        << 1 << hex("030F0581FF0000011001 01F40000 0701 AA") << int(ResponseOK) << "TLRX"
        << "5"
        << "500.0" << none << none;
    QTest::newRow("tlrx command 82") << 1 << hex("030F0582FF0000011001 01F40000 0701 AA") << 0
                                     << none << none << none << none << none;

    // Envelopes
    QTest::newRow("envelope tl sent") << 0 << envelope(4, tlRead) << int(Read) << "TL"
                                      << "5"
                                      << "564.0" << none << none;
    QTest::newRow("envelope tl received on one line")
        << 0 << envelope(3, hex("020E05123400000000 01F4047F000000")) << int(ResponseOK) << "TL"
        << "5"
        << "564.0"
        << "500" << none;
    QByteArray inner60 = hex("023C05F00E0000") + QByteArray(49, 'x') + hex("00047F0000");
    inner60.append('\x55');
    QTest::newRow("envelope inner length 60")
        << 0 << envelope(3, inner60) << int(ResponseOK) << "TL"
        << "5"
        << "14.0"
        << "\"" + QString(49, QLatin1Char('x')) + "\"" << none;
    QByteArray inner61 = inner60;
    inner61[1] = 61;
    QTest::newRow("envelope inner length 61")
        << 0 << envelope(3, inner61) << 0 << none << none << none << none << none;
    QTest::newRow("envelope tlrx received")
        << 0 << envelope(3, hex("03130580FF00000110 0101F40000070100 0005AAAA")) << int(ResponseOK)
        << "TLRX"
        << "5"
        << "500.0"
        << "1450" << none;
    QTest::newRow("empty") << 0 << QByteArray() << 0 << none << none << none << none << none;
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
    QTEST(protocol, "protocol");
    QTEST(address, "address");
    QTEST(parameter, "parameter");
    QTEST(value, "value");
    QTEST(error, "error");
}

void TestTelegramDecoder::rejectedOutputsDoNotLeak()
{
    // A framed telegram with a bad command must not leave a value behind for the TL decoder.
    QString protocol, address, parameter, value, error;
    const QByteArray bad = hex("030F0582FF000001100101F400000701AA");
    QCOMPARE(decodeTlrxTelegram(2, bad, protocol, address, parameter, value, error), 0);
    QVERIFY(protocol.isNull() && value.isNull() && parameter.isNull());
}

void TestTelegramDecoder::typeNames()
{
    QCOMPARE(telegramTypeName(0), QString());
    QCOMPARE(telegramTypeName(1), QString());
    QCOMPARE(telegramTypeName(10), QString());
    QCOMPARE(telegramTypeName(-1), QString());
    QCOMPARE(telegramTypeName(7), QStringLiteral("\"WRITING TO VOLATILE MEMEORY REQUEST\""));
    const TelegramRecord fresh;
    QVERIFY(fresh.protocol.isEmpty() && fresh.parameter.isEmpty() && fresh.address.isEmpty() &&
            fresh.value.isEmpty() && fresh.error.isEmpty() && fresh.data.isEmpty());
    QCOMPARE(fresh.type, int(NoTelegram));
}

void TestTelegramDecoder::recordTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QString>("details");

    const QString none;
    QTest::newRow("no telegram") << int(NoTelegram) << "TL"
                                 << "5"
                                 << "1.0"
                                 << "2" << none << none << none << none << none;
    QTest::newRow("data") << int(Data) << "TL" << none << none << none << none << "ABCDEFG"
                          << "len = 007 [ABCDEFG]" << none << "len = 007 [ABCDEFG]";
    QTest::newRow("long data") << int(Data) << none << none << none << none << none
                               << QString(1000, QLatin1Char('.'))
                               << "len = 1000 [" + QString(1000, QLatin1Char('.')) + "]" << none
                               << "len = 1000 [" + QString(1000, QLatin1Char('.')) + "]";
    QTest::newRow("read") << int(Read) << "DPV1"
                          << "1"
                          << "1234.0" << none << none << none << "DPV1 ADDR=1 "
                          << "PARAM=1234.0 "
                          << "DPV1 ADDR=1 \"READING REQUEST\" PARAM=1234.0 ";
    QTest::newRow("error without parameter") << int(ResponseError) << "DPV1" << none << none << none
                                             << "Reading error" << none << "DPV1 "
                                             << "Reading error"
                                             << "DPV1 \"RESPONSE: ERROR\" Reading error";
    QTest::newRow("value without parameter")
        << int(ResponseOK) << "DPV1" << none << none << "500" << none << none << "DPV1 "
        << "VALUE=500 "
        << "DPV1 \"RESPONSE: OK\" VALUE=500 ";
    QTest::newRow("everything") << int(ResponseError) << "TL"
                                << "5"
                                << "410.0"
                                << "7"
                                << "Error: x" << none << "TL ADDR=5 "
                                << "PARAM=410.0 VALUE=7 Error: x"
                                << "TL ADDR=5 \"RESPONSE: ERROR\" PARAM=410.0 VALUE=7 Error: x";
    QTest::newRow("nothing set") << int(ResponseOK) << none << none << none << none << none << none
                                 << none << none << "\"RESPONSE: OK\" ";
}

void TestTelegramDecoder::recordTexts()
{
    TelegramRecord record;
    QFETCH(int, type);
    record.type = type;
    QFETCH(QString, protocol);
    QFETCH(QString, address);
    QFETCH(QString, parameter);
    QFETCH(QString, value);
    QFETCH(QString, error);
    QFETCH(QString, data);
    record.protocol = protocol;
    record.address = address;
    record.parameter = parameter;
    record.value = value;
    record.error = error;
    record.data = data;
    const RecordText text = recordText(record);
    QTEST(text.head, "head");
    QTEST(text.tail, "tail");
    QTEST(recordDetails(record, true), "details");
    if (type > Data)
        QCOMPARE(recordDetails(record, false), text.head + text.tail);
}

QTEST_APPLESS_MAIN(TestTelegramDecoder)
#include "tst_telegramdecoder.moc"
