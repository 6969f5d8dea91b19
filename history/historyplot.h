#pragma once

#include "historycore/historyrow.h"

#include <QObject>
#include <QPointF>
#include <QVector>
#include <QtCharts/QChartGlobal>

QT_CHARTS_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QDateTimeAxis;
class QScatterSeries;
class QValueAxis;
QT_CHARTS_END_NAMESPACE

// The plot of a parameter history in a chart view: numeric values over time, written values and
// read values as two series, error responses as marks on the time axis. Rows come in as they are
// found; the series are redrawn by refresh(), which a caller spaces out while rows stream in.
class HistoryPlot : public QObject
{
    Q_OBJECT

public:
    enum Series { Written, ReadBack, Errors, SeriesCount };

    HistoryPlot(quint32 parameter, QtCharts::QChartView *view, QObject *parent = nullptr);

    // Takes rows that are rows `firstRow`, `firstRow` + 1, ... of the history.
    void addRows(const HistoryRows &rows, int firstRow);
    void clear();
    // Draws what addRows took since the last refresh.
    void refresh();

    // Says why values are missing from the plot, or empty.
    QString note() const;
    int pointCount(Series series) const { return points[series].size(); }
    // The history row of a point, and where the point is drawn in the chart view.
    int rowOfPoint(Series series, int point) const { return rows[series].value(point, -1); }
    QPoint pointPosition(Series series, int point) const;

signals:
    void rowHovered(int row, bool entered);
    void rowClicked(int row);

private:
    int rowAt(Series series, const QPointF &point) const;
    void updateRanges();

    quint32 parameter;
    QtCharts::QChartView *view;
    QtCharts::QChart *chart;
    QtCharts::QDateTimeAxis *timeAxis;
    QtCharts::QValueAxis *valueAxis;
    QtCharts::QValueAxis *markAxis;
    QtCharts::QScatterSeries *series[SeriesCount];
    QVector<QPointF> points[SeriesCount];
    QVector<int> rows[SeriesCount];
    bool changed = false;
    int numericValues = 0;
    int otherValues = 0;
};
