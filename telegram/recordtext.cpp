// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/recordtext.h"

namespace
{
// "len = %03d [%s]" without the format parser; data built by the line parser is plain ASCII.
QString dataHead(const QString &data)
{
    bool plain = true;
    for (const QChar c : data) {
        if (c.unicode() == 0 || c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    }
    if (!plain)
        return QString::asprintf("len = %03d [%s]", int(data.length()),
                                 data.toLocal8Bit().constData());
    QString length = QString::number(data.length());
    if (length.size() < 3)
        length.prepend(QString(3 - length.size(), QLatin1Char('0')));
    QString head;
    head.reserve(data.size() + length.size() + 9);
    head += QLatin1String("len = ");
    head += length;
    head += QLatin1String(" [");
    head += data;
    head += QLatin1Char(']');
    return head;
}

void appendHead(const TelegramRecord &record, QString &text)
{
    if (!record.protocol.isEmpty()) {
        text += record.protocol;
        text += QLatin1Char(' ');
    }
    if (!record.address.isEmpty()) {
        text += QLatin1String("ADDR=");
        text += record.address;
        text += QLatin1Char(' ');
    }
}

void appendTail(const TelegramRecord &record, QString &text)
{
    if (!record.parameter.isEmpty()) {
        text += QLatin1String("PARAM=");
        text += record.parameter;
        text += QLatin1Char(' ');
    }
    if (!record.value.isEmpty()) {
        text += QLatin1String("VALUE=");
        text += record.value;
        text += QLatin1Char(' ');
    }
    text += record.error;
}

int textLength(const TelegramRecord &record)
{
    return record.protocol.size() + record.address.size() + record.parameter.size() +
           record.value.size() + record.error.size() + 64;
}
} // namespace

RecordText recordText(const TelegramRecord &record)
{
    RecordText text;
    if (record.type == NoTelegram)
        return text;
    if (record.type == Data) {
        text.head = dataHead(record.data);
        return text;
    }
    appendHead(record, text.head);
    appendTail(record, text.tail);
    return text;
}

QString recordDetails(const TelegramRecord &record, bool withTypeName)
{
    if (record.type == NoTelegram)
        return QString();
    if (record.type == Data)
        return dataHead(record.data);
    QString details;
    details.reserve(textLength(record));
    appendHead(record, details);
    if (withTypeName) {
        details += telegramTypeName(record.type);
        details += QLatin1Char(' ');
    }
    appendTail(record, details);
    return details;
}
