// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/textlanguage.h"

#include <QString>
#include <QtGlobal>
#include <functional>

// "Line N data: DETAILS": a line whose telegram decoded (the details pane and telvane-decode).
QString telegramDetailsLine(qint64 lineNumber, const QString &details);

// "Line N: TEXT": a line without a telegram shows its own text; a fault line its fault text.
QString plainDetailsLine(qint64 lineNumber, const QString &text);

// The details of a received raw-data line followed by the data joined from it and its raw-data
// neighbours under a separator line; the details alone when `context` is empty.
QString withDataContext(const QString &details, const QString &context);

// Whether a log line was received from a drive (the tool writes both spellings).
bool isReceivedLine(const QString &line);

// Whether a line, decoded on its own, is received raw data; `data` then gets its bytes as
// characters, line breaks kept. A run of such lines is what a data context joins.
bool receivedRawData(const QString &line, QString *data);

// Reads line n (0-based, always within the log) of a log.
using LineReader = std::function<QString(int)>;

// What a view decodes its lines as.
struct DecodeMode {
    bool safetyFaults = false;
    TextLanguage language = English;
};

// The details-pane text of line `selected` (0-based) of a log of `lineCount` lines. The lines
// from `firstShown` to `lastShown` are the ones on screen: they are decoded together, as the strip
// decodes them, so joined fragments and hidden write echoes read the same in both places (a line
// off the screen, with a screen's height of lines on the screen's side of it). A
// received raw-data line also shows the data joined from its raw-data neighbours.
QString selectedLineDetails(const LineReader &read, int lineCount, int selected, int firstShown,
                            int lastShown, const DecodeMode &mode);
