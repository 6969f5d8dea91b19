// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/searchresultslist.h"

#include "settings/applicationsettings.h"
#include "search/delegate.h"
#include "search/searchresultsmodel.h"
#include "searchcore/finding.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace
{
// Registered at start-up so the type can be looked up by name before any list exists.
const int lineTypeMetaTypeId =
    qRegisterMetaType<SearchResultsList::LineType>("SearchResultsList::LineType");
} // namespace

SearchResultsList::SearchResultsList(QWidget *parent)
    : QAbstractItemView(parent), rows(new SearchResultsModel(this)), delegate(new Delegate)
{
    Q_UNUSED(lineTypeMetaTypeId)
    setFont(ApplicationSettings::textFont());
    setItemDelegate(delegate);
    // The delegate has no QObject parent; it goes with the list.
    connect(this, &QObject::destroyed, delegate, [d = delegate] { delete d; });
    setModel(rows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QAbstractItemView::doubleClicked, this, &SearchResultsList::onRowDoubleClicked);
}

int SearchResultsList::count() const
{
    return rows->rowCount();
}

QModelIndex SearchResultsList::index(int row) const
{
    return rows->index(row, 0);
}

int SearchResultsList::lineHeight() const
{
    return fontMetrics().height();
}

int SearchResultsList::rowHeight(int row) const
{
    return rows->lineType(row) == HeaderLine ? 2 * lineHeight() : lineHeight();
}

int SearchResultsList::rowTop(int row) const
{
    // Every header is one line higher than the other rows.
    return (row + rows->headerRowsBefore(row)) * lineHeight();
}

int SearchResultsList::rowAt(int y) const
{
    if (y < 0 || y >= contentHeight())
        return -1;
    int low = 0, high = count() - 1; // the last row whose top is at or above y
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (rowTop(middle) <= y)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

int SearchResultsList::contentHeight() const
{
    return rowTop(count());
}

int SearchResultsList::contentWidth() const
{
    const int characters = qMin(rows->widestRowCharacters(), Delegate::longestShownRow);
    const int estimate = characters * fontMetrics().horizontalAdvance(QLatin1Char('M'));
    return qMax(estimate, delegate->widestPaintedRow()) + 4;
}

QRect SearchResultsList::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != rows || index.row() >= count())
        return QRect();
    return QRect(-horizontalOffset(), rowTop(index.row()) - verticalOffset(),
                 qMax(contentWidth(), viewport()->width()), rowHeight(index.row()));
}

void SearchResultsList::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.row() >= count())
        return;
    const int top = rowTop(index.row());
    const int height = rowHeight(index.row());
    const int shown = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    switch (hint) {
    case PositionAtTop:
        bar->setValue(top);
        break;
    case PositionAtBottom:
        bar->setValue(top + height - shown);
        break;
    case PositionAtCenter:
        bar->setValue(top + height / 2 - shown / 2);
        break;
    case EnsureVisible:
        if (top < bar->value())
            bar->setValue(top);
        else if (top + height > bar->value() + shown)
            bar->setValue(top + height - shown);
        break;
    }
}

QModelIndex SearchResultsList::indexAt(const QPoint &point) const
{
    if (point.x() + horizontalOffset() >= qMax(contentWidth(), viewport()->width()))
        return QModelIndex();
    const int row = rowAt(point.y() + verticalOffset());
    return row < 0 ? QModelIndex() : index(row);
}

QModelIndex SearchResultsList::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int last = count() - 1;
    if (last < 0)
        return QModelIndex();
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    const int page = qMax(1, viewport()->height() / lineHeight() - 1);
    int target = row;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        target = row - 1;
        break;
    case MoveDown:
    case MoveNext:
        target = current.isValid() ? row + 1 : 0;
        break;
    case MovePageUp:
        target = row - page;
        break;
    case MovePageDown:
        target = row + page;
        break;
    case MoveHome:
        target = 0;
        break;
    case MoveEnd:
        target = last;
        break;
    default:
        break;
    }
    return index(qBound(0, target, last));
}

int SearchResultsList::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

int SearchResultsList::verticalOffset() const
{
    return verticalScrollBar()->value();
}

bool SearchResultsList::isIndexHidden(const QModelIndex &) const
{
    return false;
}

void SearchResultsList::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int last = count() - 1;
    if (last < 0)
        return;
    const QRect area = rect.normalized().translated(horizontalOffset(), verticalOffset());
    const int first = area.top() < 0 ? 0 : rowAt(area.top());
    const int lastHit = area.bottom() >= contentHeight() ? last : rowAt(area.bottom());
    if (first < 0 || lastHit < 0) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    selectionModel()->select(QItemSelection(index(first), index(lastHit)), command);
}

QRegion SearchResultsList::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.model() != rows)
            continue;
        const QRect top = visualRect(index(range.top()));
        const QRect bottom = visualRect(index(range.bottom()));
        region += (top | bottom).intersected(viewport()->rect());
    }
    return region;
}

void SearchResultsList::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int total = count();
    int row = rowAt(qMax(0, area.top() + verticalOffset()));
    if (row < 0)
        return;
    const int widest = delegate->widestPaintedRow();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStyleOptionViewItem option;
    initViewItemOption(&option);
#else
    QStyleOptionViewItem option = viewOptions();
#endif
    const QModelIndex current = currentIndex();
    for (; row < total; ++row) {
        const QModelIndex rowIndex = index(row);
        option.rect = visualRect(rowIndex);
        if (option.rect.top() > area.bottom())
            break;
        option.state = QStyle::State_Enabled;
        if (selectionModel()->isSelected(rowIndex))
            option.state |= QStyle::State_Selected;
        if (rowIndex == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        delegate->paint(&painter, option, rowIndex);
    }
    // A row wider than its estimate (tabs) widens the scrolled area.
    if (delegate->widestPaintedRow() > widest)
        QMetaObject::invokeMethod(this, &SearchResultsList::updateGeometries, Qt::QueuedConnection);
}

void SearchResultsList::scrollContentsBy(int, int)
{
    viewport()->update();
}

void SearchResultsList::updateGeometries()
{
    const QSize shown = viewport()->size();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setSingleStep(lineHeight());
    vertical->setPageStep(shown.height());
    vertical->setRange(0, qMax(0, contentHeight() - shown.height()));
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 2);
    horizontal->setPageStep(shown.width());
    horizontal->setRange(0, qMax(0, contentWidth() - shown.width()));
    QAbstractItemView::updateGeometries();
}

void SearchResultsList::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    // Rows land below the ones on screen, mostly out of sight.
    if (rowTop(start) - verticalOffset() < viewport()->height())
        viewport()->update();
}

void SearchResultsList::changeEvent(QEvent *event)
{
    QAbstractItemView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateGeometries();
}

void SearchResultsList::onRowDoubleClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.data(LineTypeRole).value<LineType>() != ResultLine)
        return;
    Finding finding;
    finding.lineNumber = index.data(LineNumberRole).toLongLong();
    finding.position = index.data(PositionRole).toLongLong();
    finding.column = index.data(ColumnRole).toInt();
    finding.length = index.data(LengthRole).toInt();
    finding.fieldId = index.data(FieldIdRole).toUInt();
    emit goToRequested(finding);
}
