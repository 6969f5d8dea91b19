// SPDX-License-Identifier: GPL-3.0-or-later
// Safety-fault lines in both languages, with every selected position the painter may pass.
#include "telegram/safetyfaults.h"
#include "telegram/textlanguage.h"

#include <QString>
#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int selected = int(int8_t(data[0]));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const TextLanguage language : {English, German}) {
        const SafetyFaultTexts texts = decodeSafetyFaults(lines, selected, language);
        if (texts.texts.size() != lines.size())
            __builtin_trap();
        for (const QString &line : lines) {
            const FaultLine fault = parseFaultLine(line);
            if (fault.kind == FaultWithData)
                faultDetails(fault.id, fault.words, language);
        }
    }
    return 0;
}
