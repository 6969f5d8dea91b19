// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/telegramdecoder.h"

#include "telegram/bigendian.h"
#include "telegram/values.h"

namespace
{
const uchar *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const uchar *>(bytes.constData());
}

// Writes the decimal digits of `number` ending just before `end`; returns the first digit.
QChar *decimalDigits(quint32 number, QChar *end)
{
    do {
        *--end = QLatin1Char(char('0' + number % 10));
        number /= 10;
    } while (number != 0);
    return end;
}

// Decimal texts with a single allocation: these run for almost every telegram line.
QString decimal(quint32 number)
{
    QChar buffer[10];
    QChar *const end = buffer + 10;
    const QChar *first = decimalDigits(number, end);
    return QString(first, int(end - first));
}

// "n.i" of a parameter number and index.
QString numberPair(quint32 number, quint32 index)
{
    QChar buffer[21];
    QChar *const end = buffer + 21;
    QChar *first = decimalDigits(index, end);
    *--first = QLatin1Char('.');
    first = decimalDigits(number, first);
    return QString(first, int(end - first));
}

void appendNumberPair(QString &text, quint32 number, quint32 index)
{
    text += numberPair(number, index);
}

bool isReceived(int direction)
{
    return direction == DirectionReceived;
}

// PPO3 address rule: the low 7 bits of the address byte must lie in 1..126.
bool ppo3Address(quint8 byte, int &address)
{
    address = byte & 0x7F;
    return address >= 1 && address <= 126;
}

int decodeSerial(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                 QString &parameter, QString &value, QString &error)
{
    const int type =
        decodeTlrxTelegram(direction, bytes, protocol, address, parameter, value, error);
    if (type != 0)
        return type;
    return decodeTlTelegram(direction, bytes, protocol, address, parameter, value, error);
}
} // namespace

bool decodeParameterAddresses(quint32 count, const uchar *data, int &offset, int size,
                              QString &text)
{
    if (count > 1) {
        text = QString::number(count);
        text += QLatin1String(" parameters {");
    }
    quint32 i = 0;
    while (offset + 6 <= size && i < count) {
        const uchar *block = data + offset;
        if (block[0] != 0x10) {
            text = QString();
            return false;
        }
        if (count > 1)
            text += QLatin1Char(' ');
        appendNumberPair(text, be16(block + 2), be16(block + 4));
        offset += 6;
        ++i;
    }
    if (i == count) {
        if (count > 1)
            text += QLatin1String(" }");
        return true;
    }
    text = QString();
    return false;
}

int decodeParameterValues(quint32 count, const uchar *data, int size, QString &text)
{
    if (count > 1) {
        text = QString::number(count);
        text += QLatin1String(" values {");
    }
    int offset = 0;
    quint32 i = 0;
    if (size >= 2) {
        for (;;) {
            if (i >= count)
                break;
            QString block;
            if (!decodeValueBlock(data, offset, size, block)) {
                text = QString();
                return 0;
            }
            if (count > 1)
                text += QLatin1Char(' ');
            text += block;
            ++i;
            if (offset + 2 > size)
                break;
        }
    }
    if (i == count) {
        if (count > 1)
            text += QLatin1String(" }");
        return ResponseOK;
    }
    text = QString();
    return 0;
}

int decodeDpv1Telegram(const QByteArray &bytes, QString &protocol, QString &, QString &parameter,
                       QString &value, QString &error)
{
    const int len = bytes.size();
    const uchar *b = bytesOf(bytes);
    if (len < 4 || b[0] != 0xFF || b[2] != 0x00)
        return 0;
    const quint8 id = b[1];
    const quint32 count = b[3];
    protocol = QStringLiteral("DPV1");
    if (len == 4 && (id == 0x01 || id == 0x02))
        return ResponseOK;
    if (id == 0x81) {
        error = QStringLiteral("Reading error");
        return ResponseError;
    }
    if (id == 0x82) {
        error = QStringLiteral("Writing error");
        return ResponseError;
    }
    int offset = 0;
    if (id == 0x01) {
        if (decodeParameterAddresses(count, b + 4, offset, len - 4, parameter))
            return Read;
        return decodeParameterValues(count, b + 4, len - 4, value);
    }
    if (!decodeParameterAddresses(count, b + 4, offset, len - 4, parameter))
        return 0;
    if (decodeParameterValues(count, b + 4 + offset, len - 4 - offset, value) == 0)
        return 0;
    if (id == 0x42)
        return Write;
    if (id == 0x02)
        return WriteVolatile;
    return 0;
}

int decodeTlrxTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                       QString &parameter, QString &value, QString &error)
{
    const int len = bytes.size();
    const uchar *b = bytesOf(bytes);
    if (len < 17 || b[0] != 0x03 || b[1] != len - 2 || b[4] != 0xFF || b[6] != 0x00 ||
        b[8] != 0x10 || b[9] != 0x01)
        return 0;
    const quint8 command = b[3];
    if (command != 0x80 && command != 0x81)
        return 0;
    const bool textType = b[14] == 9 || b[14] == 10;
    const bool hasValue = textType || len >= 20;

    protocol = QStringLiteral("TLRX");
    parameter = numberPair(be16(b + 10), be16(b + 12));
    address = decimal(quint32(b[2] & 0x7F));
    auto takeValue = [&] {
        if (textType)
            value = quotedText(b + 16, len - 17);
        else if (len >= 20)
            value = decimal(be32(b + 16));
    };
    if (!isReceived(direction)) {
        if (command == 0x80)
            return Read;
        takeValue();
        return Write;
    }
    if (command == 0x81)
        return ResponseOK;
    if (hasValue) {
        takeValue();
        return ResponseOK;
    }
    error = errorText(b[4]);
    return ResponseError;
}

int decodeTlTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                     QString &parameter, QString &value, QString &error)
{
    const int len = bytes.size();
    const uchar *b = bytesOf(bytes);
    if (len < 15 || b[0] != 0x02 || b[1] != len - 2)
        return 0;
    const int ak = b[3] >> 4;
    const quint32 pnu = (quint32(b[3] & 0x0F) << 8) | quint32(b[4]);
    const quint32 index = ak == 15 ? quint32(b[6]) : be16(b + 5);
    enum { None, Numeric, Text } valueKind = None;
    int type = 0;
    if (!isReceived(direction)) {
        switch (ak) {
        case 1:
            type = Read;
            break;
        case 2:
        case 3:
        case 13:
        case 14:
            valueKind = Numeric;
            type = Write;
            break;
        case 4:
            type = ReadDescription;
            break;
        case 15:
            if (b[5] == 0 || b[5] == 4) {
                type = Read;
            } else if (b[5] == 1 || b[5] == 5) {
                valueKind = Text;
                type = Write;
            }
            break;
        default:
            break;
        }
    } else {
        switch (ak) {
        case 0:
        case 7:
            type = ResponseError;
            break;
        case 1:
        case 2:
            valueKind = Numeric;
            type = ResponseOK;
            break;
        case 3:
        case 15:
            valueKind = Text;
            type = ResponseOK;
            break;
        default:
            break;
        }
    }
    if (type == 0)
        return 0;
    protocol = QStringLiteral("TL");
    parameter = numberPair(pnu, index);
    address = decimal(quint32(b[2] & 0x7F));
    if (valueKind == Numeric)
        value = decimal(be32(b + 7));
    else if (valueKind == Text)
        value = quotedText(b + 7, len - 12);
    if (isReceived(direction) && ak == 0) {
        error = QStringLiteral("No response");
    } else if (isReceived(direction) && ak == 7) {
        error = responseIdText(7) + QLatin1String(": ") + errorText(b[10]);
        if (b[5] == 1 || b[5] == 5)
            parameter = numberPair(pnu, b[6]);
    }
    return type;
}

int decodeTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                   QString &parameter, QString &value, QString &error)
{
    const int len = bytes.size();
    if (len == 0)
        return 0;
    const uchar *b = bytesOf(bytes);
    int a = 0;
    if (len == 64 && b[1] == 8 && b[2] == 0x02 && b[3] == 6 && ppo3Address(b[4], a)) {
        protocol = QStringLiteral("TL");
        address = decimal(quint32(a));
        if (b[0] == 4)
            return PPO3Request;
        if (b[0] == 3)
            return PPO3Response;
    }
    if (len == 8 && b[0] == 0x02 && b[1] == 6 && ppo3Address(b[2], a)) {
        protocol = QStringLiteral("TL");
        address = decimal(quint32(a));
        return b[3] == 0 && b[4] == 0 ? PPO3Request : PPO3Response;
    }
    const int type = decodeDpv1Telegram(bytes, protocol, address, parameter, value, error);
    if (type != 0)
        return type;
    if (len == 64 && (b[0] == 4 || b[0] == 3)) {
        const int innerLength = b[3];
        if (innerLength > 60)
            return 0;
        const QByteArray inner = bytes.mid(2, innerLength + 2);
        return decodeSerial(b[0] == 4 ? DirectionSent : DirectionReceived, inner, protocol, address,
                            parameter, value, error);
    }
    return decodeSerial(isReceived(direction) ? DirectionReceived : DirectionSent, bytes, protocol,
                        address, parameter, value, error);
}
