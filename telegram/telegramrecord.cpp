// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/telegramrecord.h"

const QString &telegramTypeName(int type)
{
    static const QString names[] = {
        QString(),
        QString(),
        QStringLiteral("\"PPO3 REQUEST\""),
        QStringLiteral("\"PPO3 RESPONSE\""),
        QStringLiteral("\"READING REQUEST\""),
        QStringLiteral("\"PARAMETER DESCRIPTION READING REQUEST\""),
        QStringLiteral("\"WRITING REQUEST\""),
        QStringLiteral("\"WRITING TO VOLATILE MEMEORY REQUEST\""),
        QStringLiteral("\"RESPONSE: OK\""),
        QStringLiteral("\"RESPONSE: ERROR\""),
    };
    if (type < 0 || type > ResponseError)
        return names[0];
    return names[type];
}
