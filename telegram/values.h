// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Decodes one DP-V1 value block (format, count, value bytes) at `offset` of `data[0, size)`.
// `offset` advances past the header even on failure; a one-byte value occupies two bytes.
bool decodeValueBlock(const uchar *data, int &offset, int size, QString &text);

// Upper-case hex byte pairs separated by single blanks.
QString toHexString(const uchar *bytes, int count);

// "\"<text> [0xNN]\"" for known error numbers, "\"Unknown error[0xNN]\"" otherwise.
QString errorText(quint8 number);

// Text of a serial response id (AK), "Unknown error" for ids outside the table.
QString responseIdText(quint8 id);

// The bytes up to the first zero byte read as UTF-8, in double quotes.
QString quotedText(const uchar *bytes, int count);
