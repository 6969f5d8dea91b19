// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A realistic communication log of exactly `lines` lines (each ending in LF, about 80 bytes on
// average): two thirds telegram lines of every kind (requests, received responses split over
// three lines, DP-V1 access, PPO3, framed telegrams, 64-byte envelopes, raw data, broken
// brackets), the rest plain log lines. The same random seed always gives the same log.
QByteArray generatedLog(int lines, quint32 randomSeed);

// Writes generatedLog(lines, randomSeed) to `path` without holding it all in memory.
bool writeGeneratedLog(const QString &path, int lines, quint32 randomSeed);
