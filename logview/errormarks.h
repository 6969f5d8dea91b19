// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QVector>
#include <atomic>
#include <memory>
#include <vector>

class LineSource;
class QTimer;

// One pixel row of the mark column: the first error line and the first tagged line among the
// lines the row stands for, -1 where there is none.
struct MarkRow {
    qint64 error = -1;
    qint64 tagged = -1;
};

// The error lines of a log and its lines tagged "[Warn]" or "[Error]". An error line is a
// telegram line whose type is the negative response or whose decoded text carries an error, as
// the strip decodes it with the state of the lines above (fragments joined). A pass reads the log
// from the top in the background (a worker thread where the source can be read from one, else
// slices of the event loop) and goes on as the log grows; the marks fill in as it reads.
class ErrorMarks : public QObject
{
    Q_OBJECT

public:
    explicit ErrorMarks(QObject *parent);
    ~ErrorMarks() override;

    void setSource(LineSource *source);
    // Off: no pass runs and no line is marked.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled; }
    // Reads the log again from its first line (another log in its place, or it was edited).
    void restart();
    // Every line there is has been read.
    bool isComplete() const;

    // Ascending line numbers.
    const std::vector<qint64> &errorLines() const { return errors; }
    const std::vector<qint64> &taggedLines() const { return tagged; }
    // The first error line after `line` (backward: the last before it), wrapping around at the
    // ends; -1 when there is none.
    qint64 nextError(qint64 line, bool backward) const;

    // The column's pixel rows for a column `height` pixels high: line L of N stands at row
    // (L + 1/2) * height / N, so the column maps the whole log as the scroll bar does. Made
    // once per change of the marks, the line count or the height, whatever the log's length.
    const QVector<MarkRow> &rows(int height);
    // The marked line at pixel row `y` of the column, else at the nearest row within a few
    // pixels (an error line before a tagged one); -1 when none is that near.
    qint64 lineAt(int y, int height);

signals:
    // The marks or the lines they are drawn over changed: the column repaints.
    void changed();

private:
    struct Scan;
    struct Found;

    void sourceChanged();
    void sourceChangedFrom(qint64 line);
    void schedule();
    void runSlice();
    void take(const Found &found);
    void stop();

    QPointer<LineSource> lines;
    bool enabled = true;
    std::vector<qint64> errors;
    std::vector<qint64> tagged;
    // The last line, read as it stands but still open to growth: its mark is provisional.
    qint64 provisionalLine = -1;
    int provisionalMark = 0;
    qint64 readLines = 0; // lines whose marks are final
    bool running = false;
    bool stale = true; // the lines changed since the last pass ended

    std::shared_ptr<Scan> scan;
    std::shared_ptr<std::atomic<bool>> halt;
    quint64 generation = 0;
    QThreadPool worker;
    QTimer *slices;

    QVector<MarkRow> summary;
    int summaryHeight = -1;
    qint64 summaryLines = -1;
    bool summaryValid = false;
};
