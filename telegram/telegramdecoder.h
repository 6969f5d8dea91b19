// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/telegramrecord.h"

#include <QByteArray>
#include <QString>

// Direction of a telegram: sent by the logging tool (a request) or received (a response).
// decodeTelegram takes 0 for a telegram on one line (treated as sent) and 1 for a joined one.
enum TelegramDirection { DirectionReceived = 1, DirectionSent = 2 };

// Decodes one telegram of any supported kind and returns its TelegramType, 0 when no rule
// accepts the bytes. The outputs are written in place; a rejecting decoder may leave some set.
int decodeTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                   QString &parameter, QString &value, QString &error);

// PROFIdrive parameter access over DP-V1 (request reference 0xFF, axis 0).
int decodeDpv1Telegram(const QByteArray &bytes, QString &protocol, QString &address,
                       QString &parameter, QString &value, QString &error);

// The framed serial telegram (start byte 0x03); outputs are written only on acceptance.
int decodeTlrxTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                       QString &parameter, QString &value, QString &error);

// The plain serial telegram (start byte 0x02, at least 15 bytes); outputs only on acceptance.
int decodeTlTelegram(int direction, const QByteArray &bytes, QString &protocol, QString &address,
                     QString &parameter, QString &value, QString &error);

// Reads `count` 6-byte parameter address blocks of `data[offset, size)` into "n.i" texts.
bool decodeParameterAddresses(quint32 count, const uchar *data, int &offset, int size,
                              QString &text);

// Reads `count` value blocks of `data[0, size)`; ResponseOK on success, 0 on failure.
int decodeParameterValues(quint32 count, const uchar *data, int size, QString &text);
