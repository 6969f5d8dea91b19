// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

// The icon of a telegram kind, plain or for the selected row; a null pixmap when it has none.
const QPixmap &iconForLineType(int type, bool selected);
