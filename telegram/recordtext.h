#pragma once

#include "telegram/telegramrecord.h"

#include <QString>

// The texts the visualization strip and the details pane show for one record.
// A telegram row reads  head + [icon over blanks] + tail, its details  head + ["TYPE" ] + tail.
// For Data, head is "len = NNN [data]" and tail is empty; for NoTelegram both are empty.
struct RecordText {
    QString head; // "PROTOCOL ADDR=a "
    QString tail; // "PARAM=p VALUE=v error"
};

RecordText recordText(const TelegramRecord &record);

// The details-pane part of a row; withTypeName is what the viewer passes when the kind has an icon.
QString recordDetails(const TelegramRecord &record, bool withTypeName = true);
