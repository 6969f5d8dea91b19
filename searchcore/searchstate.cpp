// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchcore/searchstate.h"

SearchState::SearchState(QObject *parent) : QObject(parent) {}

void SearchState::clearNotFoundText()
{
    notFoundText.clear();
}
