// SPDX-License-Identifier: GPL-3.0-or-later
// Raw telegram bytes through every decoder, as sent and as received.
#include "telegram/telegramdecoder.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (int direction = 0; direction <= 2; ++direction) {
        QString protocol, address, parameter, value, error;
        const int type =
            decodeTelegram(direction, bytes, protocol, address, parameter, value, error);
        if (type < 0 || type > 9)
            __builtin_trap();
    }
    return 0;
}
