// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/textlanguage.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>

struct FaultEntry {
    QString name;
    QMap<quint16, QString> fields; // data-word index -> field name
};

using FaultCatalogue = QMap<quint32, FaultEntry>;

const FaultCatalogue &englishFaultCatalogue();
const FaultCatalogue &germanFaultCatalogue();

enum FaultLineKind { NoFaultLine = 0, FaultWithoutData = 1, FaultWithData = 2 };

struct FaultLine {
    int kind = NoFaultLine;
    quint32 id = 0;
    std::array<quint16, 4> words{};
};

FaultLine parseFaultLine(const QString &line);

// Texts in the given language; an id outside the catalogue gives an empty text.
QString faultSummary(quint32 id, const std::array<quint16, 4> *words,
                     TextLanguage language = English);
QString faultDetails(quint32 id, const std::array<quint16, 4> &words,
                     TextLanguage language = English);

struct SafetyFaultTexts {
    QStringList texts; // one per input line, empty where the line is no fault record
    QString details;   // of the selected line
};

SafetyFaultTexts decodeSafetyFaults(const QStringList &lines, int selectedIndex,
                                    TextLanguage language = English);
