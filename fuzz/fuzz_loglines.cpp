// SPDX-License-Identifier: GPL-3.0-or-later
// Log text split into lines, decoded together, one by one and streamed, and rendered as the
// viewer shows it.
#include "telegram/logdecoder.h"
#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "tests/testsupport.h"

#include <QString>
#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QVector<TelegramRecord> records = parseTelegramLines(lines);
    if (records.size() != lines.size())
        __builtin_trap();
    for (int i = 0; i < lines.size(); ++i) {
        recordText(records[i]);
        recordDetails(records[i]);
        const TelegramRecord alone = parseTelegramLine(lines[i]);
        recordDetails(alone, false);
    }
    // The command-line decoder streams the same bytes and must print what the list decoder gives.
    const QByteArray log = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    if (decodeLogText(log, LogDecodeMode::Telegrams) != testsupport::listDecoderOutput(log))
        __builtin_trap();
    return 0;
}
