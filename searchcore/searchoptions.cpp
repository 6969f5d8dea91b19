// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/searchoptions.h"

SearchOptions::SearchOptions(QObject *parent, int searchDirection, int searchMode,
                             const QString &text)
    : QObject(parent), searchDirection(searchDirection), text(text), searchMode(searchMode)
{
}
