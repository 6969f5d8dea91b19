// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/linesource.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class LogFile;
class LogFindAll;
struct LogFinding;
struct LogSnapshot;

// A match of a step search: line (0-based), column and length in UTF-16 units.
struct LogMatch {
    qint64 line = -1;
    int column = -1;
    int length = 0;
    bool isValid() const { return line >= 0; }
};

// A log indexed by a worker thread; lines read on demand with the ordinary view's text, line
// numbers and document positions. Used from the thread it lives in, which its signals reach;
// calls see the lines as of the last signal and never wait on the worker for long. As a line
// source it is what the large-log view shows and searches.
class LogStore : public LineSource
{
    Q_OBJECT

public:
    explicit LogStore(QObject *parent = nullptr);
    ~LogStore() override;

    // Starts indexing; false and failed() unless it names a readable regular file.
    bool open(const QString &fileName);
    void close();
    enum class Refresh { Unchanged, Indexing, Reopen };
    // Indexes what was appended since the last pass; Reopen: shrunk, replaced or gone.
    Refresh refresh();

    QString fileName() const;
    // What the results pane heads a find-all with, when not the file's name (a log unpacked
    // into a temporary file takes its archive's name); open() clears it.
    void setTitle(const QString &title);
    bool isOpen() const;
    bool isIndexing() const;
    qint64 fileSize() const;     // as the indexer last saw it
    qint64 indexedBytes() const; // bytes the lines so far come from
    qint64 indexMemory() const;  // bytes held by the line index

    QString title() const override;
    bool isLoading() const override { return isIndexing(); }
    // Complete lines while indexing, all when done; without a file one empty line.
    qint64 lineCount() const override;
    QString lineText(qint64 line) const override;
    QStringList lineTexts(qint64 first, qint64 count) const override;
    QString lineSlice(qint64 line, qint64 column, qint64 count) const override;
    QStringList lineHeads(qint64 first, qint64 count, qint64 limit) const override;
    // Document position of the line's first character.
    qint64 linePosition(qint64 line) const override;
    // In UTF-16 units, without the line break.
    qint64 lineLength(qint64 line) const override;
    qint64 lineAtPosition(qint64 position) const override;
    qint64 characterCount() const; // as QTextDocument::characterCount of the lines so far
    qint64 longestLineLength() const override;
    int loadProgress() const override;
    qint64 expectedLineCount() const override;
    // "[Comm]" anywhere in the text, case-sensitive.
    bool containsCommMarker() const override;
    // The lines indexed so far, from any thread; they stay readable while the file is reopened.
    LineReader concurrentReader() const override;

    LineMatch find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                   const TextPosition &from, bool backward, qint64 stopLine = -1) const override;
    bool byteRange(qint64 first, qint64 last, QString *file, qint64 *from,
                   qint64 *to) const override;
    void startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) override;
    void cancelFindAll() override;

    // As QTextDocument::find from linePosition(fromLine) + fromColumn; stopLine -1: no limit.
    LogMatch find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                  qint64 fromLine, qint64 fromColumn, bool backward, qint64 stopLine = -1) const;

signals:
    void linesIndexed(qint64 count); // new lines; after refresh() the last line may have grown
    void progress(int percent);      // of the file indexed
    void finished();                 // a pass is done
    void failed();                   // open() refused the file

private:
    friend class LogFindAll;
    struct State;
    std::shared_ptr<LogFile> currentFile(LogSnapshot *snapshot) const;
    void startPass();
    void stopPass();
    void takeSnapshot(const std::shared_ptr<LogFile> &from);
    void onFound(const QVector<LogFinding> &findings, int longestLine);

    std::unique_ptr<State> state;
    LogFindAll *finder;
    qint64 foundCount = 0;
    // Counts the files opened: rows of a find-all read their lines only from the file they
    // were found in.
    quint64 openCount = 0;
};
