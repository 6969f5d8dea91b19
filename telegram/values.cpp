// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/values.h"

#include "telegram/bigendian.h"

#include <QHash>
#include <cstring>

namespace
{
struct DataType {
    QString name;
    int width = 0;
};

const DataType &dataType(quint8 code)
{
    static const DataType *const table = [] {
        static DataType types[256];
        const struct {
            int code;
            const char *name;
            int width;
        } rows[] = {
            {0, "Invalid", 2},
            {1, "Boolean", 1},
            {2, "Int8", 1},
            {3, "Int16", 2},
            {4, "Int32", 4},
            {5, "UInt8", 1},
            {6, "UInt16", 2},
            {7, "UInt32", 4},
            {8, "Float", 4},
            {9, "Text", 0},
            {10, "Bytes", 0},
            {12, "TimeOfDayWithDate", 6},
            {13, "TimeDifference:", 2},
            {33, "NormValueN2", 2},
            {34, "NormValueN4", 4},
            {35, "BitSequenceV2", 2},
            {50, "Date", 2},
            {52, "TimeOfDayWithoutDate", 4},
            {53, "TimeDiffWithDate", 4},
            {54, "TimeDiffWithoutDate", 4},
            {65, "Byte", 2},
            {66, "Word:", 2},
            {67, "DWord", 4},
        };
        for (const auto &row : rows)
            types[row.code] = {QString::fromLatin1(row.name), row.width};
        return types;
    }();
    return table[code];
}

const char hexDigits[] = "0123456789ABCDEF";
} // namespace

QString toHexString(const uchar *bytes, int count)
{
    if (count <= 0)
        return QString();
    QString text(count * 3 - 1, QLatin1Char(' '));
    QChar *out = text.data();
    for (int i = 0; i < count; ++i) {
        out[i * 3] = QLatin1Char(hexDigits[bytes[i] >> 4]);
        out[i * 3 + 1] = QLatin1Char(hexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

QString quotedText(const uchar *bytes, int count)
{
    const void *zero = count > 0 ? std::memchr(bytes, 0, size_t(count)) : nullptr;
    const int length = zero ? int(static_cast<const uchar *>(zero) - bytes) : qMax(count, 0);
    QString text;
    text.reserve(length + 2);
    text += QLatin1Char('"');
    text += QString::fromUtf8(reinterpret_cast<const char *>(bytes), length);
    text += QLatin1Char('"');
    return text;
}

bool decodeValueBlock(const uchar *data, int &offset, int size, QString &text)
{
    if (offset + 2 > size)
        return false;
    const int format = data[offset];
    const int count = data[offset + 1];
    offset += 2;
    if (format == 9 || format == 10) {
        if (offset + count > size)
            return false;
        if (format == 9) {
            text = quotedText(data + offset, count);
        } else {
            text = QLatin1Char('[') + toHexString(data + offset, count) + QLatin1Char(']');
        }
        offset += count;
        return true;
    }
    if (count != 1)
        return false;
    const DataType &type = dataType(format);
    const int width = type.width;
    if (width == 0 || offset + width > size)
        return false;
    switch (width) {
    case 1:
        text = QString::number(quint32(data[offset]));
        offset += 2;
        return true;
    case 2:
        text = QString::number(be16(data + offset));
        offset += 2;
        return true;
    case 4:
        text = QString::number(be32(data + offset));
        offset += 4;
        return true;
    default: // 6, the widest entry of the table
        text = type.name + QLatin1String(":[") + toHexString(data + offset, 6) + QLatin1Char(']');
        offset += 6;
        return true;
    }
}

QString errorText(quint8 number)
{
    static const QHash<int, QString> table = {
        {0x00, QStringLiteral("Illegal Parameter Number")},
        {0x01, QStringLiteral("Parameter Cannot Be Changed")},
        {0x02, QStringLiteral("Upper Or Lower Limit Exceeded")},
        {0x03, QStringLiteral("Subindex Corrupted")},
        {0x04, QStringLiteral("No Array")},
        {0x05, QStringLiteral("Wrong Data Type")},
        {0x09, QStringLiteral("Description Element Not Available")},
        {0x0B, QStringLiteral("No Parameter WriteAccess")},
        {0x0F, QStringLiteral("No Text Available")},
        {0x11, QStringLiteral("Not While Running")},
        {0x12, QStringLiteral("Other Error")},
        {0x82, QStringLiteral("No Bus Access For ThisParameter")},
        {0x83, QStringLiteral("Write To Factory Setup Not Possible")},
        {0x84, QStringLiteral("No LCP Access")},
        {0x85, QStringLiteral("Hidden Parameter")},
        {0xFC, QStringLiteral("Unknown Viewer")},
        {0xFD, QStringLiteral("Request Not Supported")},
        {0xFE, QStringLiteral("Unknown Attribute")},
        {0xFF, QStringLiteral("OK")},
    };
    const QString code = QLatin1String("[0x") + QLatin1Char(hexDigits[number >> 4]) +
                         QLatin1Char(hexDigits[number & 0x0F]) + QLatin1String("]\"");
    const auto found = table.constFind(number);
    if (found == table.constEnd())
        return QLatin1String("\"Unknown error") + code;
    return QLatin1Char('"') + *found + QLatin1Char(' ') + code;
}

QString responseIdText(quint8 id)
{
    static const QHash<int, QString> table = {
        {0, QStringLiteral("No Resonse")},
        {1, QStringLiteral("Param Word Transferred")},
        {2, QStringLiteral("Param DWord Transferred")},
        {3, QStringLiteral("Param Description Element Transferred")},
        {7, QStringLiteral("Error")},
        {15, QStringLiteral("Text Transferred")},
    };
    return table.value(id, QStringLiteral("Unknown error"));
}
