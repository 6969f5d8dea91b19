// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/finding.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

// A find-all over the lines of a log held by the GUI thread, run from the event loop in slices
// of about 20 ms so that the window stays responsive while it runs.
class FindAllScan : public QObject
{
    Q_OBJECT

public:
    // Gives the next line's text and the document position of its first character; false after
    // the last line.
    using LineReader = std::function<bool(QString *text, qint64 *position)>;

    struct Job {
        QString keyword; // plain substring; an empty one ends the scan at once
        Qt::CaseSensitivity caseSensitivity = Qt::CaseSensitive;
        qint64 lineCount = 0; // of the log, for the progress
        LineReader nextLine;
        LineTextSource lineText; // handed on with every batch
        // Called once when the scan ends, done or cancelled, with the number of matches.
        std::function<void(qint64 count, bool cancelled)> ended;
    };

    explicit FindAllScan(QObject *parent = nullptr);
    ~FindAllScan() override;

    // Cancels a running scan, then starts `job` and scans its first slice before returning.
    void run(Job job);
    bool isRunning() const { return running; }

    // `source`, answering only while the log is unchanged: after contentChanged(), or once this
    // scan is gone, it gives empty texts.
    LineTextSource guardedSource(LineTextSource source) const;

    void setSliceMilliseconds(int milliseconds) { sliceMilliseconds = milliseconds; }

public slots:
    // Ends a running scan now: what it found so far stays reported, and `ended` gets its count.
    void cancel();
    // The log's text changed: a running scan ends, and the texts of earlier scans are gone.
    void contentChanged();

signals:
    // Every slice that found something, before the progress and the end.
    void foundBatch(const FoundBatch &batch);
    // After a slice whenever the share of lines scanned grows; 100 before the end of a full scan.
    void progress(int percent);

private:
    void scanSlice();
    bool flush(quint64 run); // false when a receiver ended or replaced the run
    void finish(bool cancelled);

    Job job;
    FoundBatch pending;
    QTimer nextSlice;
    bool running = false;
    quint64 runNumber = 0;
    qint64 count = 0;
    qint64 linesRead = 0;
    QString line; // the line being scanned
    qint64 linePosition = 0;
    int from = -1; // where the search goes on in `line`; -1: at the next line
    int reportedPercent = -1;
    int sliceMilliseconds = 20;
    std::shared_ptr<int> contentGeneration = std::make_shared<int>(0);
};
