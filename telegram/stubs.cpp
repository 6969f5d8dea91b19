#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "telegram/safetyfaults.h"

// Placeholder until decoding is built.
const QString &telegramTypeName(int)
{
    static const QString empty;
    return empty;
}
QVector<TelegramRecord> parseTelegramLines(const QStringList &lines)
{
    return QVector<TelegramRecord>(lines.size());
}
TelegramRecord parseTelegramLine(const QString &)
{
    return {};
}
SafetyFaultTexts decodeSafetyFaults(const QStringList &lines, int)
{
    SafetyFaultTexts texts;
    for (int i = 0; i < lines.size(); ++i)
        texts.texts << QString();
    return texts;
}
RecordText recordText(const TelegramRecord &)
{
    return {};
}
QString recordDetails(const TelegramRecord &, bool)
{
    return {};
}
