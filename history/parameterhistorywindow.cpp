// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/parameterhistorywindow.h"

#include "history/historyplot.h"
#include "history/historytablemodel.h"
#include "ui_parameterhistorywindow.h"

#include <QClipboard>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QToolTip>

namespace
{
// The plot redraws all its points: at most this often while a scan runs.
constexpr int plotRefreshMilliseconds = 250;
constexpr int progressMilliseconds = 100;
} // namespace

ParameterHistoryWindow::ParameterHistoryWindow(quint32 parameter, const QString &logName,
                                               QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ParameterHistoryWindow>()),
      historyScan(new ParameterHistoryScan(parameter, this)),
      tableModel(new HistoryTableModel(this)), sortedModel(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    setWindowTitle(
        tr("Parameter %1 - %2").arg(QString::number(parameter), QFileInfo(logName).fileName()));
    historyPlot = new HistoryPlot(parameter, ui->chartView, this);

    sortedModel->setSourceModel(tableModel);
    sortedModel->setSortRole(HistoryTableModel::SortRole);
    ui->tableView->setModel(sortedModel);
    ui->tableView->sortByColumn(historytext::Line, Qt::AscendingOrder);
    ui->tableView->verticalHeader()->setDefaultSectionSize(ui->tableView->fontMetrics().height() +
                                                           6);
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 1);
    ui->labelPlotNote->hide();
    ui->progressBar->hide();

    plotTimer.setSingleShot(true);
    connect(&plotTimer, &QTimer::timeout, historyPlot, &HistoryPlot::refresh);

    connect(historyScan, &ParameterHistoryScan::rowsFound, this, &ParameterHistoryWindow::addRows);
    connect(historyScan, &ParameterHistoryScan::progress, this,
            &ParameterHistoryWindow::showProgress);
    connect(historyScan, &ParameterHistoryScan::finished, this, [this] {
        plotTimer.stop();
        historyPlot->refresh();
        emit scanFinished();
    });
    connect(ui->tableView, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        const QModelIndex row = sortedModel->mapToSource(index);
        if (row.isValid())
            emit lineRequested(tableModel->rows().at(row.row()).line);
    });
    connect(historyPlot, &HistoryPlot::rowClicked, this,
            [this](int row) { emit lineRequested(tableModel->rows().at(row).line); });
    connect(historyPlot, &HistoryPlot::rowHovered, this, &ParameterHistoryWindow::showPointRow);
    connect(ui->pushButtonCopyCsv, &QPushButton::clicked, this, &ParameterHistoryWindow::copyAsCsv);
    showProgress(0, 0);
}

ParameterHistoryWindow::~ParameterHistoryWindow() = default;

quint32 ParameterHistoryWindow::parameter() const
{
    return historyScan->parameter();
}

void ParameterHistoryWindow::scan(const LineBatchReader &reader, qint64 lineCount)
{
    tableModel->clear();
    historyPlot->clear();
    columnsSized = false;
    progressShown.invalidate();
    showNote();
    historyScan->start(reader, lineCount);
    showProgress(0, lineCount);
}

void ParameterHistoryWindow::setLineCount(qint64 lineCount)
{
    historyScan->setLineCount(lineCount);
}

bool ParameterHistoryWindow::isScanning() const
{
    return historyScan->isRunning();
}

void ParameterHistoryWindow::addRows(const HistoryRows &rows)
{
    const int firstRow = tableModel->rowCount();
    tableModel->appendRows(rows);
    historyPlot->addRows(rows, firstRow);
    if (!plotTimer.isActive()) {
        // Redrawing takes longer the more points there are: then it comes less often.
        plotTimer.start(plotRefreshMilliseconds + historyPlot->pointCount() / 50);
    }
    if (!columnsSized) {
        columnsSized = true;
        ui->tableView->resizeColumnsToContents();
    }
    showNote();
}

void ParameterHistoryWindow::showProgress(qint64 scannedLines, qint64 lineCount)
{
    const bool running = scannedLines < lineCount;
    // Every slice reports; a few redraws a second tell as much.
    if (running && progressShown.isValid() && progressShown.elapsed() < progressMilliseconds)
        return;
    progressShown.start();
    ui->progressBar->setVisible(running);
    if (running)
        ui->progressBar->setValue(int(scannedLines * 1000 / lineCount));
    const int rows = tableModel->rowCount();
    const QString found = rows == 1 ? tr("1 row") : tr("%1 rows").arg(rows);
    ui->labelStatus->setText(running ? tr("Reading the log: %1 so far").arg(found) : found);
}

void ParameterHistoryWindow::showNote()
{
    const QString note = historyPlot->note();
    ui->labelPlotNote->setText(note);
    ui->labelPlotNote->setVisible(!note.isEmpty());
}

QString ParameterHistoryWindow::rowToolTip(int row) const
{
    const HistoryRow &shown = tableModel->rows().at(row);
    QStringList lines;
    for (int column = 0; column < historytext::ColumnCount; ++column) {
        const QString text = historytext::cell(shown, column);
        if (!text.isEmpty())
            lines << historytext::columnTitle(column) + QStringLiteral(": ") + text;
    }
    return lines.join(QLatin1Char('\n'));
}

void ParameterHistoryWindow::showPointRow(int row, bool entered)
{
    if (entered)
        QToolTip::showText(QCursor::pos(), rowToolTip(row), ui->chartView);
    else
        QToolTip::hideText();
}

QString ParameterHistoryWindow::csvText() const
{
    HistoryRows rows;
    rows.reserve(sortedModel->rowCount());
    for (int row = 0; row < sortedModel->rowCount(); ++row)
        rows.append(
            tableModel->rows().at(sortedModel->mapToSource(sortedModel->index(row, 0)).row()));
    return historytext::csvTable(parameter(), rows);
}

void ParameterHistoryWindow::copyAsCsv()
{
    QGuiApplication::clipboard()->setText(csvText());
}

QTableView *ParameterHistoryWindow::tableView() const
{
    return ui->tableView;
}

QChartView *ParameterHistoryWindow::chartView() const
{
    return ui->chartView;
}

QLabel *ParameterHistoryWindow::plotNoteLabel() const
{
    return ui->labelPlotNote;
}

QLabel *ParameterHistoryWindow::statusLabel() const
{
    return ui->labelStatus;
}

QProgressBar *ParameterHistoryWindow::progressBar() const
{
    return ui->progressBar;
}

QPushButton *ParameterHistoryWindow::copyCsvButton() const
{
    return ui->pushButtonCopyCsv;
}
