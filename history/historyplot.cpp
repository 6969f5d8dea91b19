#include "history/historyplot.h"

#include <QDateTime>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>

using namespace QtCharts;

namespace
{
// Error marks sit just above the time axis on an axis of their own.
constexpr double markHeight = 0.03;

// Log times are wall-clock times read as UTC; the axis shows local time, so the same wall-clock
// time is placed in local time.
double axisTime(qint64 time)
{
    const QDateTime wallClock = QDateTime::fromMSecsSinceEpoch(time, Qt::UTC);
    return double(QDateTime(wallClock.date(), wallClock.time(), Qt::LocalTime).toMSecsSinceEpoch());
}
} // namespace

HistoryPlot::HistoryPlot(quint32 parameter, QChartView *view, QObject *parent)
    : QObject(parent), parameter(parameter), view(view), chart(new QChart),
      timeAxis(new QDateTimeAxis), valueAxis(new QValueAxis), markAxis(new QValueAxis)
{
    view->setChart(chart);
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
        series[s] = new QScatterSeries;
        series[s]->setName(names[s]);
        series[s]->setColor(colours[s]);
        series[s]->setBorderColor(colours[s].darker(130));
        series[s]->setMarkerSize(s == Errors ? 9 : 8);
        if (s == Errors)
            series[s]->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        chart->addSeries(series[s]);
        series[s]->attachAxis(timeAxis);
        series[s]->attachAxis(s == Errors ? markAxis : valueAxis);
        const Series which = Series(s);
        connect(series[s], &QScatterSeries::hovered, this,
                [this, which](const QPointF &point, bool state) {
                    const int row = rowAt(which, point);
                    if (row >= 0)
                        emit rowHovered(row, state);
                });
        connect(series[s], &QScatterSeries::clicked, this, [this, which](const QPointF &point) {
            const int row = rowAt(which, point);
            if (row >= 0)
                emit rowClicked(row);
        });
    }
    updateRanges();
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
    for (int s = 0; s < SeriesCount; ++s)
        series[s]->replace(points[s]);
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
}

int HistoryPlot::rowAt(Series which, const QPointF &point) const
{
    const QVector<QPointF> &shown = points[which];
    const auto found = std::find(shown.begin(), shown.end(), point);
    return found == shown.end() ? -1 : rows[which].at(int(found - shown.begin()));
}

QPoint HistoryPlot::pointPosition(Series which, int point) const
{
    const QPointF inChart = chart->mapToPosition(points[which].value(point), series[which]);
    return view->mapFromScene(chart->mapToScene(inChart));
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
