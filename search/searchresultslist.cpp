#include "search/searchresultslist.h"

// Placeholder until the results pane is built.
SearchResultsList::SearchResultsList(QWidget *parent) : QListWidget(parent) {}

void SearchResultsList::onItemDoubleClicked(QListWidgetItem *) {}
