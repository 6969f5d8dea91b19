// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Lines that carry a telegram hold this marker (compared case-sensitively).
inline const QString commMarker = QStringLiteral("[Comm]");

enum TelegramType : qint32 {
    NoTelegram = 0,
    Data = 1,
    PPO3Request = 2,
    PPO3Response = 3,
    Read = 4,
    ReadDescription = 5,
    Write = 6,
    WriteVolatile = 7,
    ResponseOK = 8,
    ResponseError = 9,
};

// One decoded log line.
struct TelegramRecord {
    QString protocol;
    QString parameter;
    QString address;
    QString value;
    QString error;
    qint32 type = NoTelegram;
    QString data; // the line's bytes as printable characters; Data records only
};

// The quoted display name of a telegram kind, empty for NoTelegram, Data and unknown values.
const QString &telegramTypeName(int type);
