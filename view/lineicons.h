#pragma once

#include <QPixmap>

// The icon of a telegram kind, plain or for the selected row; a null pixmap when it has none.
const QPixmap &iconForLineType(int type, bool selected);
