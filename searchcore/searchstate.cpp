#include "searchcore/searchstate.h"

SearchState::SearchState(QObject *parent) : QObject(parent) {}

void SearchState::clearNotFoundText()
{
    notFoundText.clear();
}
