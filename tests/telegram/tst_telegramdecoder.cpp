// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/recordtext.h"
#include "telegram/telegramdecoder.h"
#include "telegram/values.h"

#include <QtTest>

namespace
{
QByteArray hex(const QByteArray &text)
{
    return QByteArray::fromHex(text);
}

// Start byte, a length byte counting what follows (off by `delta`), then the body (hex pairs).
QByteArray framed(int start, const QByteArray &body, int delta = 0)
{
    const QByteArray bytes = hex(body);
    return char(start) + (char(bytes.size() + delta) + bytes);
}

// TL for address 5: AK and parameter number, index, value, five unexamined bytes.
QByteArray tl(const QByteArray &body)
{
    return framed(2, "05" + body);
}

// TLRX for address 5: the command, status FF, 00 00 01 10 01, then parameter, index, data
// type, one byte, the value and one last byte.
QByteArray tlrx(const QByteArray &command, const QByteArray &rest)
{
    return framed(3, "05" + command + "FF0000011001" + rest);
}

// A 64-byte envelope: direction byte, an unexamined length byte, the inner telegram, padding.
QByteArray envelope(int direction, const QByteArray &inner)
{
    QByteArray bytes;
    bytes.append(char(direction)).append(char(inner.size())).append(inner);
    return bytes + QByteArray(64 - bytes.size(), '\0');
}

// The 8-byte PPO3 form in an envelope: 04/03, 08, 02 06 address, the rest zero.
QByteArray ppo3Envelope(int direction, int address = 5, int lengthByte = 8)
{
    return QByteArray(1, char(direction)) + char(lengthByte) + "\x02\x06" + char(address) +
           QByteArray(59, '\0');
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

    // Every code of the data-type table and some neighbours, over the same six value bytes:
    // the width decides how much is read and how far the offset moves.
    const struct {
        int code;
        int width;
    } types[] = {{0, 2},  {1, 1},  {2, 1},  {3, 2},  {4, 4},  {5, 1},  {6, 2},  {7, 4},
                 {8, 4},  {12, 6}, {13, 2}, {33, 2}, {34, 4}, {35, 2}, {50, 2}, {52, 4},
                 {53, 4}, {54, 4}, {65, 2}, {66, 2}, {67, 4}, {11, 0}, {14, 0}, {32, 0},
                 {36, 0}, {49, 0}, {51, 0}, {55, 0}, {64, 0}, {68, 0}, {255, 0}};
    for (const auto &type : types) {
        const QByteArray block = char(type.code) + hex("01 010203040506");
        const char *text[] = {
            "", "1", "258", "", "16909060", "", "TimeOfDayWithDate:[01 02 03 04 05 06]"};
        const int offset[] = {2, 4, 4, 0, 6, 0, 8};
        QTest::addRow("code %d", type.code)
            << block << (type.width != 0) << QString(text[type.width]) << offset[type.width];
    }
    QTest::newRow("int32 unsigned") << hex("0401FFFFFFFF") << true << "4294967295" << 6;
    QTest::newRow("float raw bits") << hex("08013F800000") << true << "1065353216" << 6;
    QTest::newRow("one byte occupies two") << hex("010101") << true << "1" << 4;
    QTest::newRow("one byte missing") << hex("0101") << false << "" << 2;
    QTest::newRow("uint16 one byte short") << hex("060105") << false << "" << 2;
    QTest::newRow("uint32 one byte short") << hex("0701000001") << false << "" << 2;
    QTest::newRow("time of day one byte short") << hex("0C010001020304") << false << "" << 2;
    QTest::newRow("count 0") << hex("070000000001") << false << "" << 2;
    QTest::newRow("count 2") << hex("070200000001") << false << "" << 2;
    QTest::newRow("text") << hex("0903414243") << true << "\"ABC\"" << 5;
    QTest::newRow("text with a byte to spare") << hex("090341424344") << true << "\"ABC\"" << 5;
    QTest::newRow("text one byte short") << hex("09034142") << false << "" << 2;
    QTest::newRow("text stops at zero") << hex("090441004243") << true << "\"A\"" << 6;
    QTest::newRow("text as UTF-8")
        << hex("0902C3A9") << true << QString::fromUtf8("\"\xc3\xa9\"") << 4;
    QTest::newRow("text empty") << hex("0900") << true << "\"\"" << 2;
    QTest::newRow("bytes") << hex("0A020AFF") << true << "[0A FF]" << 4;
    QTest::newRow("bytes one byte short") << hex("0A020A") << false << "" << 2;
    QTest::newRow("bytes empty") << hex("0A00") << true << "[]" << 2;
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

// What no decode row can reach: the decoders ask only for response id 7 and known types.
void TestTelegramDecoder::responseTexts()
{
    QCOMPARE(responseIdText(5), QStringLiteral("Unknown error"));
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
    row("ppo3 only byte 3 set", 0, hex("0206050400000000"), PPO3Response, "TL|5|||");
    row("ppo3 only byte 4 set", 0, hex("0206050001000000"), PPO3Response, "TL|5|||");
    row("ppo3 address 1", 0, hex("0206010000000000"), PPO3Request, "TL|1|||");
    row("ppo3 address 126 with top bit", 0, hex("0206FE0000000000"), PPO3Request, "TL|126|||");
    rejected("ppo3 address 0", hex("0206000000000000"));
    rejected("ppo3 address 0 with top bit", hex("0206800000000000"));
    rejected("ppo3 address 127", hex("02067F0000000000"));
    rejected("ppo3 seven bytes", hex("02060500000000"));
    rejected("ppo3 nine bytes", hex("020605000000000000"));
    rejected("ppo3 length byte 7", hex("0207050000000000"));
    row("ppo3 envelope sent", 0, ppo3Envelope(4), PPO3Request, "TL|5|||");
    row("ppo3 envelope received", 0, ppo3Envelope(3), PPO3Response, "TL|5|||");
    row("ppo3 envelope direction wins", 1, ppo3Envelope(4), PPO3Request, "TL|5|||");
    row("ppo3 envelope address 126", 0, ppo3Envelope(4, 0xFE), PPO3Request, "TL|126|||");
    rejected("ppo3 envelope address 0", ppo3Envelope(4, 0));
    rejected("ppo3 envelope address 127", ppo3Envelope(4, 0x7F));
    rejected("ppo3 envelope length byte 9", ppo3Envelope(4, 5, 9));
    rejected("ppo3 envelope direction byte 5", ppo3Envelope(5));
    rejected("ppo3 envelope 63 bytes", ppo3Envelope(4).left(63));
    rejected("ppo3 envelope 65 bytes", ppo3Envelope(4) + '\0');

    // DP-V1: the header, then parameter address blocks (6 bytes) and value blocks
    const QString read1000 = "DPV1||1000.0||";
    row("dpv1 read", 0, hex("FF010001100103E80000"), Read, read1000);
    row("dpv1 read with a byte to spare", 0, hex("FF010001100103E8000000"), Read, read1000);
    rejected("dpv1 read one byte short", hex("FF010001100103E800"));
    rejected("dpv1 reference FE", hex("FE010001100103E80000"));
    rejected("dpv1 axis 1", hex("FF010101100103E80000"));
    row("dpv1 read of no parameters", 0, hex("FF01000000"), Read, "DPV1||||");
    row("dpv1 read three parameters", 0, hex("FF010003100103E80000100103E90000100103EA0002"), Read,
        "DPV1||3 parameters { 1000.0 1001.0 1002.2 }||");
    rejected("dpv1 three parameters, last block one byte short",
             hex("FF010003100103E80000100103E90000100103EA00"));
    row("dpv1 two parameters of three blocks", 0,
        hex("FF010002100103E80000100103E90000100103EA0002"), Read,
        "DPV1||2 parameters { 1000.0 1001.0 }||");
    row("dpv1 read response", 1, hex("FF0100014301000001F4"), ResponseOK, "DPV1|||500|");
    row("dpv1 read response with a byte to spare", 1, hex("FF0100014301000001F400"), ResponseOK,
        "DPV1|||500|");
    rejected("dpv1 read response one byte short", hex("FF0100014301000001"), 1);
    rejected("dpv1 one byte of values", hex("FF01000107"), 1);
    row("dpv1 two one-byte values", 1, hex("FF0100020201FF00050107"), ResponseOK,
        "DPV1|||2 values { 255 7 }|");
    rejected("dpv1 three values announced, two present", hex("FF0100030201FF00050107"), 1);
    row("dpv1 second value a bare header", 1, hex("FF0100020701000001F40900"), ResponseOK,
        "DPV1|||2 values { 500 \"\" }|");
    rejected("dpv1 second value header one byte short", hex("FF0100020701000001F409"), 1);
    rejected("dpv1 attribute 0x20 falls back to values", hex("FF010001200103E80000"));
    row("dpv1 attribute 0x20 read as values", 1, hex("FF010001060105DC"), ResponseOK,
        "DPV1|||1500|");
    row("dpv1 read positive response", 1, hex("FF010001"), ResponseOK, "DPV1||||");
    row("dpv1 write positive response", 1, hex("FF020001"), ResponseOK, "DPV1||||");
    rejected("dpv1 three bytes", hex("FF0200"));
    rejected("dpv1 id 02 five bytes", hex("FF02000100"), 1);
    rejected("dpv1 write four bytes", hex("FF420001"));
    row("dpv1 write of nothing", 0, hex("FF4200000701"), Write, "DPV1||||");
    row("dpv1 reading error", 1, hex("FF81000144010000"), ResponseError, "DPV1||||Reading error");
    row("dpv1 writing error", 1, hex("FF820001"), ResponseError, "DPV1||||Writing error");
    const QString write1500 = "DPV1||1000.0|1500|";
    row("dpv1 write", 0, hex("FF420001100103E800000701000005DC"), Write, write1500);
    row("dpv1 write with a byte to spare", 0, hex("FF420001100103E800000701000005DC00"), Write,
        write1500);
    row("dpv1 write volatile", 0, hex("FF020001100103E800000701000005DC"), WriteVolatile,
        write1500);
    rejected("dpv1 write unknown id", hex("FF430001100103E800000701000005DC"));
    rejected("dpv1 write value one byte short", hex("FF420001100103E800000701000005"));
    rejected("dpv1 write address one byte short", hex("FF420001100103E800"));
    row("dpv1 write two parameters", 0, hex("FF420002100103F20000100103F30000060100640903414243"),
        Write, "DPV1||2 parameters { 1010.0 1011.0 }|2 values { 100 \"ABC\" }|");

    // TL
    const QByteArray tlRead = tl("1234 0000 000001F4 047F000000");
    row("tl read, also a response on one line", 0, tlRead, Read, "TL|5|564.0||");
    row("tl read, direction 2", 2, tlRead, Read, "TL|5|564.0||");
    row("tl fifteen bytes", 1, tl("1234 0000 000001F4 047F0000"), ResponseOK, "TL|5|564.0|500|");
    rejected("tl fourteen bytes", tl("1234 0000 000001F4 047F00"));
    rejected("tl length byte one more", framed(2, "05 1234 0000 000001F4 047F000000", 1));
    rejected("tl length byte one less", framed(2, "05 1234 0000 000001F4 047F000000", -1));
    // sent, by AK
    rejected("tl ak 0 sent", tl("0234 0000 00000000 047F000000"));
    row("tl write ak2", 0, tl("219A 0000 000005DC 047F000000"), Write, "TL|5|410.0|1500|");
    row("tl write ak3", 0, tl("319A 0002 000005DC 047F000000"), Write, "TL|5|410.2|1500|");
    row("tl read description ak4", 0, tl("4234 0001 00000000 047F000000"), ReadDescription,
        "TL|5|564.1||");
    rejected("tl ak 5 sent", tl("5234 0000 00000000 047F000000"));
    rejected("tl ak 7 sent", tl("719A 0000 00000002 047F000000"));
    rejected("tl ak 12 sent", tl("C19A 0000 000005DC 047F000000"));
    row("tl write ak13", 0, tl("D19A 0102 000005DC 047F000000"), Write, "TL|5|410.258|1500|");
    row("tl write ak14", 0, tl("E19A 0000 000005DC 047F000000"), Write, "TL|5|410.0|1500|");
    row("tl text read sub 0", 0, tl("F00C 0003 00000000 047F000000"), Read, "TL|5|12.3||");
    row("tl text write sub 1", 0, tl("F00C 0103 50756D702041 047F000000"), Write,
        "TL|5|12.3|\"Pump A\"|");
    rejected("tl text sub 2", tl("F00C 0203 50756D702041 047F000000"));
    rejected("tl text sub 3", tl("F00C 0303 00000000 047F000000"));
    row("tl text read sub 4", 0, tl("F00C 0403 00000000 047F000000"), Read, "TL|5|12.3||");
    row("tl text write sub 5", 0, tl("F00C 0503 46616E00 047F000000"), Write, "TL|5|12.3|\"Fan\"|");
    rejected("tl text sub 6", tl("F00C 0603 00000000 047F000000"));
    // received, by AK
    row("tl no response ak0", 1, tl("0234 0000 00000000 047F000000"), ResponseError,
        "TL|5|564.0||No response");
    row("tl read response ak1", 1, tlRead, ResponseOK, "TL|5|564.0|500|");
    row("tl read response ak2", 1, tl("210F 0000 000249F0 047F000000"), ResponseOK,
        "TL|5|271.0|150000|");
    row("tl description ak3", 1, tl("3234 0001 4D6F746F7200 047F000000"), ResponseOK,
        "TL|5|564.1|\"Motor\"|");
    for (const char *ak : {"4", "5", "6", "8", "E"})
        rejected(qPrintable(QStringLiteral("tl ak %1 received").arg(ak)),
                 tl(ak + QByteArray("234 0000 00000000 047F000000")), 1);
    row("tl error known", 1, tl("719A 0000 00000002 047F000000"), ResponseError,
        "TL|5|410.0||Error: \"Upper Or Lower Limit Exceeded [0x02]\"");
    row("tl error unknown", 1, tl("719A 0000 00000099 047F000000"), ResponseError,
        "TL|5|410.0||Error: \"Unknown error[0x99]\"");
    row("tl error of text sub 1", 1, tl("700D 0104 000000FF 047F000000"), ResponseError,
        "TL|5|13.4||Error: \"OK [0xFF]\"");
    row("tl error of text sub 5", 1, tl("700D 0504 00000011 047F000000"), ResponseError,
        "TL|5|13.4||Error: \"Not While Running [0x11]\"");
    row("tl error, byte 5 = 2 is an index", 1, tl("700D 0204 00000011 047F000000"), ResponseError,
        "TL|5|13.516||Error: \"Not While Running [0x11]\"");
    row("tl text response stops at zero", 1, tl("F00C 0003 414200430000 047F000000"), ResponseOK,
        "TL|5|12.3|\"AB\"|");
    row("tl text response fills its field", 1, tl("F00C 0003 41424344 457F000000"), ResponseOK,
        "TL|5|12.3|\"ABCD\"|");
    row("tl shortest text response", 1, tl("F00C 0003 414243 457F000000"), ResponseOK,
        "TL|5|12.3|\"ABC\"|");

    // TLRX
    const QByteArray tlrxRead = tlrx("80", "01F4 0000 07 01 AA");
    const QString p500 = "TLRX|5|500.0||", p12 = "TLRX|5|12.3|\"AB\"|";
    row("tlrx read", 0, tlrxRead, Read, p500);
    row("tlrx read, eighteen bytes", 0, tlrx("80", "01F4 0000 07 01 AAAA"), Read, p500);
    rejected("tlrx sixteen bytes", tlrx("80", "01F4 0000 07 AA"));
    rejected("tlrx length byte one more", framed(3, "05 80 FF000001 1001 01F4 0000 07 01 AA", 1));
    rejected("tlrx length byte one less", framed(3, "05 80 FF000001 1001 01F4 0000 07 01 AA", -1));
    rejected("tlrx status 0", framed(3, "05 80 00000001 1001 01F4 0000 07 01 AA"));
    rejected("tlrx byte 6", framed(3, "05 80 FF000101 1001 01F4 0000 07 01 AA"));
    rejected("tlrx byte 8", framed(3, "05 80 FF000001 1101 01F4 0000 07 01 AA"));
    rejected("tlrx byte 9", framed(3, "05 80 FF000001 1002 01F4 0000 07 01 AA"));
    rejected("tlrx command 82 sent", tlrx("82", "01F4 0000 07 01 AA"));
    rejected("tlrx command 82 received", tlrx("82", "01F4 0000 07 01 AA"), 1);
    row("tlrx address without top bit", 0, framed(3, "85 80 FF000001 1001 01F4 0000 07 01 AA"),
        Read, p500);
    // writes: a number needs offsets 16 to 19; text runs up to the last byte
    row("tlrx write without value, 17 bytes", 0, tlrx("81", "01F4 0000 07 01 AA"), Write, p500);
    row("tlrx write without value, 19 bytes", 0, tlrx("81", "01F4 0000 07 01 0000AA"), Write, p500);
    row("tlrx write number, 20 bytes", 0, tlrx("81", "01F4 0000 07 01 000005DC"), Write,
        "TLRX|5|500.0|1500|");
    row("tlrx write number, 21 bytes", 0, tlrx("81", "01F4 0000 07 01 000005DC AA"), Write,
        "TLRX|5|500.0|1500|");
    row("tlrx write text", 0, tlrx("81", "000C 0003 09 01 4142 AA"), Write, p12);
    row("tlrx write bytes as text", 0, tlrx("81", "000C 0003 0A 01 4142 AA"), Write, p12);
    row("tlrx type 8 is a number", 0, tlrx("81", "000C 0003 08 01 4142 AA"), Write,
        "TLRX|5|12.3||");
    row("tlrx type 11 is a number", 0, tlrx("81", "000C 0003 0B 01 4142 AA"), Write,
        "TLRX|5|12.3||");
    // responses
    const QByteArray tlrxResponse = tlrx("80", "01F4 0000 07 01 000005AA 26");
    row("tlrx read response, 21 bytes", 1, tlrxResponse, ResponseOK, "TLRX|5|500.0|1450|");
    row("tlrx read response, 20 bytes", 1, tlrx("80", "01F4 0000 07 01 000005AA"), ResponseOK,
        "TLRX|5|500.0|1450|");
    row("tlrx read response, 19 bytes", 1, tlrx("80", "01F4 0000 07 01 0005AA"), ResponseError,
        "TLRX|5|500.0||\"OK [0xFF]\"");
    row("tlrx read response, 17 bytes", 1, tlrx("80", "01F4 0000 01 01 AA"), ResponseError,
        "TLRX|5|500.0||\"OK [0xFF]\"");
    row("tlrx text read response", 1, tlrx("80", "000C 0003 09 01 4142 AA"), ResponseOK, p12);
    row("tlrx empty text read response", 1, tlrx("80", "000C 0003 09 01 AA"), ResponseOK,
        "TLRX|5|12.3|\"\"|");
    row("tlrx write response", 1, tlrx("81", "01F4 0000 07 01 AA"), ResponseOK, p500);
    row("tlrx write response ignores a value", 1, tlrx("81", "01F4 0000 07 01 000005DC"),
        ResponseOK, p500);

    // Envelopes: 04 sent or 03 received, a length byte, the inner telegram, padding
    row("envelope tl sent", 0, envelope(4, tlRead), Read, "TL|5|564.0||");
    row("envelope tl received on one line", 0, envelope(3, tlRead), ResponseOK, "TL|5|564.0|500|");
    row("envelope direction wins", 1, envelope(4, tlRead), Read, "TL|5|564.0||");
    row("envelope tlrx sent", 0, envelope(4, tlrxRead), Read, p500);
    row("envelope tlrx received", 0, envelope(3, tlrxResponse), ResponseOK, "TLRX|5|500.0|1450|");
    QByteArray inner60 = hex("023C05F00E0000") + QByteArray(49, 'x') + hex("00047F000055");
    row("envelope inner length 60", 0, envelope(3, inner60), ResponseOK,
        "TL|5|14.0|\"" + QString(49, QLatin1Char('x')) + "\"|");
    inner60[1] = 61;
    rejected("envelope inner length 61", envelope(3, inner60));
    rejected("envelope 63 bytes", envelope(4, tlRead).left(63));
    rejected("envelope 65 bytes", envelope(4, tlRead) + '\0');
    rejected("envelope direction byte 5", envelope(5, tlRead));
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
    // Data shows alone, with the same text as details.
    const auto data = [&row](const char *name, const QString &data, const QString &shown) {
        row(name, Data, "TL|||||" + data, shown, "", shown);
    };
    const QString dots(100, QLatin1Char('.'));
    row("no telegram", NoTelegram, "TL|5|1.0|2||", "", "", "");
    data("data", "ABCDEFG", "len = 007 [ABCDEFG]");
    data("data of 99", dots.left(99), "len = 099 [" + dots.left(99) + "]");
    data("data of 100", dots, "len = 100 [" + dots + "]");
    // Only a record made by hand holds such data; it reads as printf's %s would.
    data("data with a zero character", QStringLiteral("A") + QChar(0) + "B", "len = 003 [A]");
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
    const QStringList f = fields.split(QLatin1Char('|'));
    const TelegramRecord record{f.at(0), f.at(2), f.at(1), f.at(3), f.at(4), type, f.at(5)};
    const RecordText text = recordText(record);
    QTEST(text.head, "head");
    QTEST(text.tail, "tail");
    QTEST(recordDetails(record, true), "details");
    if (type > Data)
        QCOMPARE(recordDetails(record, false), text.head + text.tail);
}

QTEST_APPLESS_MAIN(TestTelegramDecoder)
#include "tst_telegramdecoder.moc"
