// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/telegramtable.h"

namespace telegramtable
{
namespace
{
bool isNumberColumn(int column)
{
    return column == Line || column == Address || column == Parameter || column == Index;
}

bool allDigits(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

void appendJsonString(QString &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '"' || u == '\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u == '\n') {
            out += QLatin1String("\\n");
        } else if (u == '\r') {
            out += QLatin1String("\\r");
        } else if (u == '\t') {
            out += QLatin1String("\\t");
        } else if (u < 0x20) {
            out += QLatin1String("\\u00");
            out += QLatin1Char(hex[u >> 4]);
            out += QLatin1Char(hex[u & 0xF]);
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
}

// "number.index" of a telegram that addresses one parameter; false for none or a list.
bool splitParameter(const QString &parameter, QString *number, QString *index)
{
    const int dot = parameter.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    *number = parameter.left(dot);
    *index = parameter.mid(dot + 1);
    return allDigits(*number) && allDigits(*index);
}

QString hexBytes(const QByteArray &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QLatin1Char(digits[uchar(byte) >> 4]);
        text += QLatin1Char(digits[uchar(byte) & 0xF]);
    }
    return text;
}
} // namespace

const QStringList &columnNames()
{
    static const QStringList names{
        QStringLiteral("file"),      QStringLiteral("line"),      QStringLiteral("time"),
        QStringLiteral("protocol"),  QStringLiteral("address"),   QStringLiteral("kind"),
        QStringLiteral("direction"), QStringLiteral("parameter"), QStringLiteral("index"),
        QStringLiteral("value"),     QStringLiteral("error"),     QStringLiteral("details"),
        QStringLiteral("bytes"),
    };
    return names;
}

QStringList rowFields(const QString &file, const TelegramRow &row)
{
    QStringList fields;
    fields.reserve(ColumnCount);
    const TelegramRecord &record = row.record;
    const QString &typeName = telegramTypeName(record.type);
    QString number;
    QString index;
    if (!splitParameter(record.parameter, &number, &index)) {
        number.clear();
        index.clear();
    }
    fields << file << QString::number(row.lineNumber)
           << (row.time == linetime::none ? QString() : linetime::format(row.time))
           << record.protocol << record.address
           << (typeName.isEmpty() ? QString() : typeName.mid(1, typeName.size() - 2))
           << (row.received ? QStringLiteral("received") : QStringLiteral("sent")) << number
           << index << record.value << record.error << row.details << hexBytes(row.bytes);
    return fields;
}

QString csvField(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == ',' || u == '"' || u == '\r' || u == '\n') {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return text;
}

QString csvRecord(const QStringList &fields)
{
    QString record;
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            record += QLatin1Char(',');
        record += csvField(fields.at(i));
    }
    record += QLatin1String("\r\n");
    return record;
}

QString jsonObject(const QStringList &fields)
{
    const QStringList &names = columnNames();
    QString object;
    object.reserve(256);
    object += QLatin1Char('{');
    for (int column = 0; column < fields.size() && column < names.size(); ++column) {
        if (column > 0)
            object += QLatin1Char(',');
        appendJsonString(object, names.at(column));
        object += QLatin1Char(':');
        const QString &field = fields.at(column);
        if (field.isEmpty())
            object += QLatin1String("null");
        else if (isNumberColumn(column) && allDigits(field) &&
                 (field.size() == 1 || field.at(0) != QLatin1Char('0')))
            object += field;
        else
            appendJsonString(object, field);
    }
    object += QLatin1Char('}');
    return object;
}
} // namespace telegramtable
