// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/historyplot.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

namespace
{
// Error marks sit just above the time axis on an axis of their own.
constexpr double markHeight = 0.03;

// How near the pointer must be to a point, in pixels.
constexpr double pointingDistance = 6;
// Up to this many points are drawn with smooth edges.
constexpr int smoothPoints = 5000;
} // namespace

HistoryPlot::HistoryPlot(quint32 parameter, QChartView *view, QObject *parent)
    : QObject(parent), parameter(parameter), view(view), viewport(view->viewport()),
      chart(new QChart), timeAxis(new QDateTimeAxis), valueAxis(new QValueAxis),
      markAxis(new QValueAxis)
{
    // The view lets go of the chart it made itself without deleting it.
    QChart *madeByView = view->chart();
    view->setChart(chart);
    delete madeByView;
    view->setRenderHint(QPainter::Antialiasing);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    timeAxis->setTitleText(tr("Time"));
    valueAxis->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis->setTitleText(tr("Value"));
    markAxis->setRange(0, 1);
    markAxis->setVisible(false);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    chart->addAxis(markAxis, Qt::AlignRight);

    const QString names[SeriesCount] = {tr("Written"), tr("Read"), tr("Error responses")};
    const QColor colours[SeriesCount] = {QColor(0, 114, 178), QColor(0, 158, 115),
                                         QColor(213, 94, 0)};
    for (int s = 0; s < SeriesCount; ++s) {
        series[s] = new QLineSeries;
        series[s]->setName(names[s]);
        // The pen's width sets the size of the points; its style hides the line between them.
        QPen pen(colours[s], s == Errors ? 3.5 : 3);
        pen.setStyle(Qt::NoPen);
        series[s]->setPen(pen);
        series[s]->setPointsVisible(true);
        chart->addSeries(series[s]);
        series[s]->attachAxis(timeAxis);
        series[s]->attachAxis(s == Errors ? markAxis : valueAxis);
    }
    viewport->setMouseTracking(true);
    viewport->installEventFilter(this);
    updateRanges();
}

// Log times are wall-clock times read as UTC, and the axis shows local time: the point goes where
// local time reads the same.
double HistoryPlot::axisTime(qint64 time)
{
    const qint64 hour = time / 3600000;
    auto offset = localOffsets.find(hour);
    if (offset == localOffsets.end()) {
        const QDateTime wallClock = QDateTime::fromMSecsSinceEpoch(hour * 3600000, Qt::UTC);
        const QDateTime local(wallClock.date(), wallClock.time(), Qt::LocalTime);
        offset = localOffsets.insert(hour, local.toMSecsSinceEpoch() - hour * 3600000);
    }
    return double(time + offset.value());
}

void HistoryPlot::addRows(const HistoryRows &added, int firstRow)
{
    for (int i = 0; i < added.size(); ++i) {
        const HistoryRow &row = added.at(i);
        double value = 0;
        const bool numeric = historytext::numericValue(row.value, &value);
        if (numeric)
            ++numericValues;
        else if (!row.value.isEmpty())
            ++otherValues;
        if (row.time == linetime::none)
            continue;
        Series target = SeriesCount;
        if (row.type == ResponseError) {
            target = Errors;
            value = markHeight;
        } else if (numeric) {
            target = row.isResponse() ? ReadBack : Written;
        }
        if (target == SeriesCount)
            continue;
        points[target].append(QPointF(axisTime(row.time), value));
        rows[target].append(firstRow + i);
        changed = true;
    }
}

void HistoryPlot::clear()
{
    for (int s = 0; s < SeriesCount; ++s) {
        points[s].clear();
        rows[s].clear();
    }
    hoveredRow = -1;
    numericValues = 0;
    otherValues = 0;
    changed = true;
    refresh();
}

void HistoryPlot::refresh()
{
    if (!changed)
        return;
    changed = false;
    // One replace per series: appending point by point redraws the series for every point.
    int count = 0;
    for (int s = 0; s < SeriesCount; ++s) {
        series[s]->replace(points[s]);
        count += points[s].size();
    }
    // Smooth edges cost most of the drawing of many points.
    view->setRenderHint(QPainter::Antialiasing, count <= smoothPoints);
    updateRanges();
}

void HistoryPlot::updateRanges()
{
    double firstTime = 0, lastTime = 0, lowest = 0, highest = 0;
    bool anyTime = false, anyValue = false;
    for (int s = 0; s < SeriesCount; ++s) {
        for (const QPointF &point : qAsConst(points[s])) {
            firstTime = anyTime ? qMin(firstTime, point.x()) : point.x();
            lastTime = anyTime ? qMax(lastTime, point.x()) : point.x();
            anyTime = true;
            if (s == Errors)
                continue;
            lowest = anyValue ? qMin(lowest, point.y()) : point.y();
            highest = anyValue ? qMax(highest, point.y()) : point.y();
            anyValue = true;
        }
    }
    if (!anyTime) {
        const double now = axisTime(QDateTime::currentMSecsSinceEpoch());
        firstTime = now - 60000;
        lastTime = now;
    }
    // A little room at both ends, so that the outermost points are not cut in half.
    const double timeMargin = qMax((lastTime - firstTime) / 40, 500.0);
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(firstTime - timeMargin)),
                       QDateTime::fromMSecsSinceEpoch(qint64(lastTime + timeMargin)));
    if (!anyValue) {
        lowest = 0;
        highest = 1;
    }
    const double valueMargin = qMax((highest - lowest) / 20, 1.0);
    valueAxis->setRange(qMax(0.0, lowest - valueMargin), highest + valueMargin);
    valueAxis->applyNiceNumbers();
}

int HistoryPlot::rowNear(const QPoint &position) const
{
    const QRectF area = chart->plotArea();
    const QPointF at = chart->mapFromScene(view->mapToScene(position));
    if (!area.adjusted(-pointingDistance, -pointingDistance, pointingDistance, pointingDistance)
             .contains(at))
        return -1;
    const double firstTime = double(timeAxis->min().toMSecsSinceEpoch());
    const double xScale = area.width() / (timeAxis->max().toMSecsSinceEpoch() - firstTime);
    int nearestRow = -1;
    double nearest = pointingDistance * pointingDistance;
    for (int s = 0; s < SeriesCount; ++s) {
        const QValueAxis *axis = s == Errors ? markAxis : valueAxis;
        const double yScale = area.height() / (axis->max() - axis->min());
        const QVector<QPointF> &shown = points[s];
        for (int i = 0; i < shown.size(); ++i) {
            const double dx = area.left() + (shown[i].x() - firstTime) * xScale - at.x();
            const double dy = area.bottom() - (shown[i].y() - axis->min()) * yScale - at.y();
            if (dx * dx + dy * dy <= nearest) {
                nearest = dx * dx + dy * dy;
                nearestRow = rows[s].at(i);
            }
        }
    }
    return nearestRow;
}

bool HistoryPlot::eventFilter(QObject *watched, QEvent *event)
{
    // Compared by the pointer taken at the start: a view being destroyed still sends its
    // viewport events.
    if (watched != viewport)
        return false;
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Leave) {
        const int row =
            event->type() == QEvent::Leave ? -1 : rowNear(static_cast<QMouseEvent *>(event)->pos());
        if (row != hoveredRow) {
            if (hoveredRow >= 0)
                emit rowHovered(hoveredRow, false);
            hoveredRow = row;
            if (row >= 0)
                emit rowHovered(row, true);
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int row = mouse->button() == Qt::LeftButton ? rowNear(mouse->pos()) : -1;
        if (row >= 0)
            emit rowClicked(row);
    }
    return false;
}

QPoint HistoryPlot::pointPosition(Series which, int point) const
{
    const QPointF inChart = chart->mapToPosition(points[which].value(point), series[which]);
    return view->mapFromScene(chart->mapToScene(inChart));
}

int HistoryPlot::pointCount() const
{
    int count = 0;
    for (const QVector<QPointF> &shown : points)
        count += shown.size();
    return count;
}

QString HistoryPlot::note() const
{
    if (otherValues == 0)
        return QString();
    if (numericValues == 0)
        return tr("The values of parameter %1 are not numbers (texts, lists or byte arrays): the "
                  "plot stays empty, the table lists them.")
            .arg(parameter);
    return otherValues == 1 ? tr("1 value that is not a number is listed in the table only.")
                            : tr("%1 values that are not numbers are listed in the table only.")
                                  .arg(otherValues);
}
