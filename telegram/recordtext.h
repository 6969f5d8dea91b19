// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/telegramrecord.h"

#include <QString>

// The texts the visualization strip and the details pane show for one record; the viewer's
// painter and the command-line decoder both build them here, so the two never disagree.
// A telegram row reads  head + [icon over blanks] + tail, its details  head + ["TYPE" ] + tail.
//  - NoTelegram: head and tail empty.
//  - Data: head = "len = %03d [%s]" of the length of data and data; tail empty.
//  - telegram kinds (2..9): head = "PROTOCOL " if protocol is set, then "ADDR=address " if
//    address is set; tail = "PARAM=parameter " if parameter is set, then "VALUE=value " if
//    value is set, then the error text (no trailing blank); each part only when not empty,
//    so a DP-V1 response without a parameter still shows its values or its error.
struct RecordText {
    QString head; // "PROTOCOL ADDR=a "
    QString tail; // "PARAM=p VALUE=v error"
};

RecordText recordText(const TelegramRecord &record);

// The details-pane part of a row: for Data the head; for telegram kinds head, then the quoted
// type name and a blank when withTypeName (the viewer passes it when the kind has an icon), then
// tail; empty for NoTelegram.
QString recordDetails(const TelegramRecord &record, bool withTypeName = true);
