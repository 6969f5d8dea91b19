#include "view/lineicons.h"

// Placeholder until the icon set is drawn.
const QPixmap &iconForLineType(int, bool)
{
    static const QPixmap none;
    return none;
}
