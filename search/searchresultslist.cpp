#include "search/searchresultslist.h"

#include "app/applicationsettings.h"
#include "search/delegate.h"
#include "searchcore/finding.h"

namespace
{
// Registered at start-up so the type can be looked up by name before any list exists.
const int lineTypeMetaTypeId =
    qRegisterMetaType<SearchResultsList::LineType>("SearchResultsList::LineType");
} // namespace

SearchResultsList::SearchResultsList(QWidget *parent) : QListWidget(parent)
{
    Q_UNUSED(lineTypeMetaTypeId)
    setFont(ApplicationSettings::textFont());
    auto *delegate = new Delegate;
    setItemDelegate(delegate);
    // The delegate has no QObject parent; it goes with the list.
    connect(this, &QObject::destroyed, delegate, [delegate] { delete delegate; });
    connect(this, &QListWidget::itemDoubleClicked, this, &SearchResultsList::onItemDoubleClicked);
}

void SearchResultsList::onItemDoubleClicked(QListWidgetItem *item)
{
    if (!item || item->data(LineTypeRole).value<LineType>() != ResultLine)
        return;
    const Finding finding(this, item->data(LineNumberRole).toInt(), QString(),
                          item->data(ColumnRole).toInt(), item->data(LengthRole).toInt(),
                          item->data(FieldIdRole).toUInt(), item->data(PositionRole).toInt());
    emit goToRequested(finding);
}
