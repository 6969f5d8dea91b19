// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/searchtext.h"

#include "searchcore/searchoptions.h"

#include <QStringList>

SearchPattern searchPattern(int searchMode, const QString &typed)
{
    SearchPattern pattern;
    switch (searchMode) {
    case PlainTextMatchCase:
        pattern.text = typed;
        pattern.stepCase = Qt::CaseSensitive;
        break;
    case BinaryData:
        pattern.text = binaryDataSearchText(typed);
        pattern.wholeWords = true;
        break;
    case ParameterId:
        pattern.text = parameterIdSearchText(typed);
        break;
    case PlainText:
    default:
        pattern.text = typed;
        pattern.findAllCase = Qt::CaseInsensitive;
        break;
    }
    return pattern;
}

QString binaryDataSearchText(const QString &text)
{
    static const char digits[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toLatin1(); // characters outside Latin-1 become '?' (3F)
    QString result;
    result.reserve(bytes.size() * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes.at(i));
        if (i > 0)
            result += QLatin1Char(' ');
        result += QLatin1Char(digits[byte >> 4]);
        result += QLatin1Char(digits[byte & 0x0F]);
    }
    return result;
}

QString parameterIdSearchText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() == 1)
        return parameterIdPattern(parts.at(0), QString());
    if (parts.size() == 2)
        return parameterIdPattern(parts.at(0), parts.at(1));
    return {};
}

QString parameterIdPattern(const QString &number, const QString &index)
{
    bool ok = false;
    const uint parameter = number.toUInt(&ok, 10);
    if (!ok || parameter > 0xFFFF)
        return {};
    uint subindex = 0;
    if (!index.isEmpty()) {
        subindex = index.toUInt(&ok, 10);
        if (!ok || subindex > 0xFFFF)
            return {};
    }
    return QString::asprintf("%X %02X %02X %02X", parameter >> 8, parameter & 0xFF, subindex >> 8,
                             subindex & 0xFF);
}
