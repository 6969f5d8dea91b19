// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/chartclasses.h"
#include "historycore/historyscan.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

class HistoryPlot;
class HistoryTableModel;
class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace Ui
{
class ParameterHistoryWindow;
}

// Every read and write of one parameter in a log: a sortable table of the telegram lines that
// concern it and a plot of its numeric values over time. The log is read in slices on this
// thread, and rows appear as they are found. A double-click on a row, or a click on a point,
// asks for its line by `lineRequested`.
class ParameterHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    ParameterHistoryWindow(quint32 parameter, const QString &logName, QWidget *parent = nullptr);
    ~ParameterHistoryWindow() override;

    quint32 parameter() const;
    // Starts the history (anew) over a log of `lineCount` lines read through `reader`, which is
    // called on this thread until the window goes or scan() is called again. A log that shrank
    // or was replaced is scanned anew this way.
    void scan(const LineBatchReader &reader, qint64 lineCount);
    // The log has grown to `lineCount` complete lines (follow): the rows of the new lines are
    // appended.
    void setLineCount(qint64 lineCount);
    bool isScanning() const;

    // The whole table in its current order as CSV (RFC 4180), with a header row.
    QString csvText() const;

    QTableView *tableView() const;
    QChartView *chartView() const;
    QLabel *plotNoteLabel() const;
    QLabel *statusLabel() const;
    QProgressBar *progressBar() const;
    QPushButton *copyCsvButton() const;
    HistoryTableModel *model() const { return tableModel; }
    HistoryPlot *plot() const { return historyPlot; }

public slots:
    void copyAsCsv();

signals:
    // A row's line (0-based) should be selected in its log's view.
    void lineRequested(qint64 line);
    void scanFinished();

private:
    void addRows(const HistoryRows &rows);
    void showProgress(qint64 scannedLines, qint64 lineCount);
    void showNote();
    void showPointRow(int row, bool entered);
    QString rowToolTip(int row) const;

    std::unique_ptr<Ui::ParameterHistoryWindow> ui;
    ParameterHistoryScan *historyScan;
    HistoryTableModel *tableModel;
    QSortFilterProxyModel *sortedModel;
    HistoryPlot *historyPlot;
    // Redraws the plot now and then while rows stream in.
    QTimer plotTimer;
    QElapsedTimer progressShown;
    bool columnsSized = false;
};
