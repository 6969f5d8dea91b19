// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/chartclasses.h"
#include "historycore/historyrow.h"

#include <QHash>
#include <QObject>
#include <QPointF>
#include <QVector>

// The plot of a parameter history in a chart view: numeric values over time, written values and
// read values as two series, error responses as marks on the time axis. Rows come in as they are
// found; the series are redrawn by refresh(), which a caller spaces out while rows stream in.
// The points are those of line series without lines, which draw a hundred thousand points in a
// blink where scatter series take seconds; pointing at them is found here, not by the series.
class HistoryPlot : public QObject
{
    Q_OBJECT

public:
    enum Series { Written, ReadBack, Errors, SeriesCount };

    HistoryPlot(quint32 parameter, QChartView *view, QObject *parent = nullptr);

    // Takes rows that are rows `firstRow`, `firstRow` + 1, ... of the history.
    void addRows(const HistoryRows &rows, int firstRow);
    void clear();
    // Draws what addRows took since the last refresh.
    void refresh();

    // Says why values are missing from the plot, or empty.
    QString note() const;
    int pointCount(Series series) const { return points[series].size(); }
    int pointCount() const;
    // The history row of a point, and where the point is drawn in the chart view.
    int rowOfPoint(Series series, int point) const { return rows[series].value(point, -1); }
    QPoint pointPosition(Series series, int point) const;

signals:
    void rowHovered(int row, bool entered);
    void rowClicked(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The row of the point drawn nearest to a position in the view, if one is close enough.
    int rowNear(const QPoint &position) const;
    double axisTime(qint64 time);
    void updateRanges();

    quint32 parameter;
    QChartView *view;
    QWidget *viewport;
    QChart *chart;
    QDateTimeAxis *timeAxis;
    QValueAxis *valueAxis;
    QValueAxis *markAxis;
    QLineSeries *series[SeriesCount];
    QVector<QPointF> points[SeriesCount];
    QVector<int> rows[SeriesCount];
    // Local time offsets by hour of the log's wall-clock time.
    QHash<qint64, qint64> localOffsets;
    int hoveredRow = -1;
    bool changed = false;
    int numericValues = 0;
    int otherValues = 0;
};
