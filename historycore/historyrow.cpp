// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycore/historyrow.h"

#include "telegram/telegramtable.h"

#include <QCoreApplication>

bool HistoryRow::isResponse() const
{
    return type == PPO3Response || type == ResponseOK || type == ResponseError;
}

bool HistoryRow::operator==(const HistoryRow &other) const
{
    return line == other.line && time == other.time && type == other.type &&
           protocol == other.protocol && address == other.address && index == other.index &&
           value == other.value && error == other.error;
}

namespace historytext
{
QString columnTitle(int column)
{
    switch (column) {
    case Line:
        return QCoreApplication::translate("ParameterHistory", "Line");
    case Time:
        return QCoreApplication::translate("ParameterHistory", "Time");
    case Kind:
        return QCoreApplication::translate("ParameterHistory", "Kind");
    case Direction:
        return QCoreApplication::translate("ParameterHistory", "Direction");
    case Protocol:
        return QCoreApplication::translate("ParameterHistory", "Protocol");
    case Address:
        return QCoreApplication::translate("ParameterHistory", "Address");
    case Index:
        return QCoreApplication::translate("ParameterHistory", "Index");
    case Value:
        return QCoreApplication::translate("ParameterHistory", "Value");
    case Error:
        return QCoreApplication::translate("ParameterHistory", "Error");
    default:
        return QString();
    }
}

QString kindName(qint32 type)
{
    QString name = telegramTypeName(type);
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    return name;
}

QString cell(const HistoryRow &row, int column)
{
    switch (column) {
    case Line:
        return QString::number(row.line + 1);
    case Time:
        return row.time == linetime::none ? QString() : linetime::format(row.time);
    case Kind:
        return kindName(row.type);
    case Direction:
        return row.isResponse() ? QCoreApplication::translate("ParameterHistory", "Received")
                                : QCoreApplication::translate("ParameterHistory", "Sent");
    case Protocol:
        return row.protocol;
    case Address:
        return row.address;
    case Index:
        return row.index;
    case Value:
        return row.value;
    case Error:
        return row.error;
    default:
        return QString();
    }
}

bool numericValue(const QString &value, double *number)
{
    // Ten digits hold every 32-bit value the decoders print.
    if (value.isEmpty() || value.size() > 10)
        return false;
    double result = 0;
    for (const QChar c : value) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        result = result * 10 + (c.unicode() - '0');
    }
    if (number)
        *number = result;
    return true;
}

QString csvTable(quint32 parameter, const HistoryRows &rows)
{
    using namespace telegramtable;
    const QStringList &names = columnNames();
    QString table = csvRecord({names.at(telegramtable::Line), names.at(telegramtable::Time),
                               names.at(telegramtable::Protocol), names.at(telegramtable::Address),
                               names.at(telegramtable::Kind), names.at(telegramtable::Direction),
                               names.at(telegramtable::Parameter), names.at(telegramtable::Index),
                               names.at(telegramtable::Value), names.at(telegramtable::Error)});
    for (const HistoryRow &row : rows) {
        table += csvRecord({cell(row, Line), cell(row, Time), row.protocol, row.address,
                            cell(row, Kind),
                            row.isResponse() ? QStringLiteral("received") : QStringLiteral("sent"),
                            QString::number(parameter), row.index, row.value, row.error});
    }
    return table;
}
} // namespace historytext
