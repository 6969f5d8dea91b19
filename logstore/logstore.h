#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

class LogFile;
struct LogSnapshot;
class QThread;

// A match of a step search: line (0-based), column and length in UTF-16 units.
struct LogMatch {
    qint64 line = -1;
    int column = -1;
    int length = 0;
    bool isValid() const { return line >= 0; }
};

// A log file indexed in the background, for a view that lays out only the lines it shows:
// lines read on demand with the text, line numbers and document positions the ordinary view
// (QTextStream::readAll, then QPlainTextEdit::setPlainText) has for the same file.
// A store lives in one thread and is used only there; its signals come in that thread. Its
// worker never holds it up: calls read the snapshot taken at the last signal, and only open(),
// close(), refresh() and the destructor wait for a worker that is stopping (milliseconds).
class LogStore : public QObject
{
    Q_OBJECT

public:
    explicit LogStore(QObject *parent = nullptr);
    ~LogStore() override;

    // Starts indexing; false and failed() when the name is not of a readable regular file
    // (FIFOs and devices are refused, never waited on). A store without a file holds one empty
    // line, as the ordinary view shows then.
    bool open(const QString &fileName);
    void close();
    // Indexes the bytes appended since the last pass, from the start of the last line on.
    enum class Refresh {
        Unchanged, // nothing new
        Indexing,  // a pass runs (started now or earlier); signals follow
        Reopen     // the file shrank, was replaced or is gone: open it again
    };
    Refresh refresh();

    QString fileName() const;
    bool isOpen() const;
    bool isIndexing() const;
    qint64 fileSize() const;     // as the indexer last saw it
    qint64 indexedBytes() const; // bytes the lines so far come from
    qint64 indexMemory() const;  // bytes held by the line index

    // Lines so far: the complete ones while indexing, all once done (a file ending in a line
    // break ends with an empty line). Only a linesIndexed() signal changes what these return.
    qint64 lineCount() const;
    QString lineText(qint64 line) const;
    QStringList lineTexts(qint64 first, qint64 count) const;
    qint64 linePosition(qint64 line) const; // document position of the line's first character
    qint64 lineLength(qint64 line) const;   // in UTF-16 units, without the line break
    qint64 lineAtPosition(qint64 position) const;
    qint64 characterCount() const; // as QTextDocument::characterCount of the lines so far
    qint64 longestLineLength() const;
    bool containsCommMarker() const; // "[Comm]" anywhere in the text, case-sensitive

    // QTextDocument::find(text, linePosition(fromLine) + fromColumn, flags) over the lines so
    // far (a blank matches a no-break space), looking no further than `stopLine` (-1: the end,
    // or the start when backward). Not found: an invalid match.
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

    std::unique_ptr<State> state;
};
