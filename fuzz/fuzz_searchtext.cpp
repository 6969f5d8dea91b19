// SPDX-License-Identifier: GPL-3.0-or-later
// Typed search texts through the binary-data and parameter-id conversions.
#include "searchcore/searchtext.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString binary = binaryDataSearchText(text);
    if (!text.isEmpty() && binary.size() != 3 * text.size() - 1)
        __builtin_trap();
    const QString parameter = parameterIdSearchText(text);
    if (!parameter.isEmpty() && parameter.size() > 11)
        __builtin_trap();
    return 0;
}
