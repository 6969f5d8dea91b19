// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Unsigned big-endian numbers as the telegrams carry them.
inline quint32 be16(const uchar *p)
{
    return (quint32(p[0]) << 8) | quint32(p[1]);
}

inline quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
