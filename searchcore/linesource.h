// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/finding.h"
#include "searchcore/textposition.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

// The lines of one log as a log view reads them, whatever holds them: the ordinary view's
// document, or the file store of large logs. Line numbers are 0-based; positions count UTF-16
// units from the start of the text, one per line break, as QTextDocument counts them.
class LineSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The log's name, as the results pane heads a find-all with it.
    virtual QString title() const = 0;
    // At least one line, also for an empty log.
    virtual qint64 lineCount() const = 0;
    virtual QString lineText(qint64 line) const = 0;
    virtual QStringList lineTexts(qint64 first, qint64 count) const;
    // At most `count` UTF-16 units of a line from `column` on. A file store decodes only the
    // bytes that hold them, so a line of any length costs what a short one costs.
    virtual QString lineSlice(qint64 line, qint64 column, qint64 count) const;
    // The texts of lines, each cut to its first `limit` units.
    virtual QStringList lineHeads(qint64 first, qint64 count, qint64 limit) const;
    // Of a longer line the details and a results row show only the start and a note of how
    // much is left out: no one reads more in a row, and the ordinary view holds no longer line
    // from a file, so that its rows and details come out whole.
    static constexpr int shownLineLimit = 10000;
    // What the details and a results row show of a line: its text, or the start of a longer
    // one followed by " [... N more characters]".
    QString shownLineText(qint64 line) const;
    static QString shownLineText(const QString &head, qint64 length);
    virtual qint64 lineLength(qint64 line) const = 0;
    // The position of the line's first character.
    virtual qint64 linePosition(qint64 line) const = 0;
    virtual qint64 lineAtPosition(qint64 position) const = 0;
    // Whether "[Comm]" stands anywhere in the text.
    virtual bool containsCommMarker() const = 0;
    // Whether lines are still coming in (a large log being indexed), how far that is, and how
    // many lines there will be at this rate.
    virtual bool isLoading() const { return false; }
    virtual int loadProgress() const { return 100; }
    virtual qint64 expectedLineCount() const { return lineCount(); }
    // In UTF-16 units; what a view scrolls sideways over.
    virtual qint64 longestLineLength() const = 0;

    // Lines as UTF-8 bytes, read together: line i is bytes [starts[i], starts[i + 1]), its line
    // break included where it has one. A line over 64 KiB may come cut to its first 64 KiB,
    // without its line break: the passes that read lines so look at their start only.
    struct Utf8Lines {
        QByteArray bytes;
        QVector<int> starts;
    };
    // Reads `count` lines from `first` on, as they were when it was made, from any thread: for a
    // pass over a whole log in a worker. Empty when the lines can only be read where the source
    // lives.
    using LineReader = std::function<Utf8Lines(qint64 first, qint64 count)>;
    virtual LineReader concurrentReader() const { return {}; }

    // The match QTextDocument::find gives from `from`, looking at lines up to `stopLine`
    // (inclusive; -1: to the end, or the start when backward).
    virtual LineMatch find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                           const TextPosition &from, bool backward, qint64 stopLine = -1) const = 0;

    // A find-all for `keyword` (QString::indexOf line by line, no overlaps): the matches come by
    // `found` in document order, then `findAllEnded`. Starting one ends a running one first.
    virtual void startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) = 0;
    // Ends a running find-all; what it found so far stays reported, and `findAllEnded` follows.
    virtual void cancelFindAll() = 0;

    // Which file the source reads (for an unpacked archive, the unpacked copy) and where lines
    // [first, last] lie in it, line breaks included; false when the source holds its text itself
    // (the document).
    virtual bool byteRange(qint64 first, qint64 last, QString *file, qint64 *from, qint64 *to) const
    {
        Q_UNUSED(first)
        Q_UNUSED(last)
        Q_UNUSED(file)
        Q_UNUSED(from)
        Q_UNUSED(to)
        return false;
    }

    TextPosition positionAt(qint64 position) const;
    qint64 positionOf(const TextPosition &at) const { return linePosition(at.line) + at.column; }
    TextPosition endPosition() const;

signals:
    // Any change of the text: growth, an edit, another file read in its place.
    void changed();
    // Before changed(): the lines above `line` are as they were. A source that only grows, until
    // another log takes its place, need not send it.
    void changedFrom(qint64 line);
    void loadProgressChanged(int percent);
    void loaded();
    void found(const FoundBatch &batch);
    void findAllProgress(int percent);
    void findAllEnded(qint64 count, bool cancelled);
};
