// SPDX-License-Identifier: GPL-3.0-or-later
#include "logview/documentlinesource.h"

#include "searchcore/findallscan.h"
#include "telegram/telegramrecord.h"

#include <QStringMatcher>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace
{

// The document's own find within one block, offset and whole-word rule included; the matcher
// holds the same text and case rule and rules out most blocks before the exact search runs.
bool findInBlock(const QTextBlock &block, const QString &expression, const QStringMatcher &matcher,
                 int offset, QTextDocument::FindFlags options, int *matchStart)
{
    QString text = block.text();
    text.replace(QChar::Nbsp, QLatin1Char(' '));
    const bool backward = options & QTextDocument::FindBackward;
    const int occurrence = matcher.indexIn(text, backward ? 0 : offset);
    if (occurrence < 0 || (backward && occurrence > offset))
        return false;
    const Qt::CaseSensitivity sensitivity = matcher.caseSensitivity();
    while (offset >= 0 && offset <= text.length()) {
        const int idx = backward ? text.lastIndexOf(expression, offset, sensitivity)
                                 : text.indexOf(expression, offset, sensitivity);
        if (idx == -1)
            return false;
        if (options & QTextDocument::FindWholeWords) {
            const int end = idx + expression.length();
            if ((idx != 0 && text.at(idx - 1).isLetterOrNumber()) ||
                (end != text.length() && text.at(end).isLetterOrNumber())) {
                offset = backward ? idx - 1 : end + 1;
                continue;
            }
        }
        *matchStart = idx;
        return true;
    }
    return false;
}

// Skips the blocks that cannot hold the expression by searching the document's raw text (one
// copy, indexed by document position) for the expression's longest piece without spaces (the
// document matches a space at a no-break space too) or block separators. Each block found is
// then searched as the document would search it.
class BlockFinder
{
public:
    BlockFinder(const QString &expression, Qt::CaseSensitivity sensitivity)
        : sensitivity(sensitivity)
    {
        int start = 0;
        for (int i = 0; i <= expression.size(); ++i) {
            if (i < expression.size() && !splits(expression.at(i)))
                continue;
            if (i - start > piece.size()) {
                piece = expression.mid(start, i - start);
                pieceOffset = start;
            }
            start = i + 1;
        }
        if (!piece.isEmpty())
            matcher = QStringMatcher(piece, sensitivity);
    }

    bool needsText() const { return !piece.isEmpty(); }
    void setText(const QString *documentText) { raw = documentText; }

    // The block from `block` on (backward: back to it) that may hold a match starting at or
    // (backward) before `offset` within `block`, or an invalid block.
    QTextBlock next(const QTextDocument *document, const QTextBlock &block, int offset,
                    bool backward) const
    {
        if (!raw)
            return block;
        int at;
        if (backward) {
            const int from = block.position() + offset + pieceOffset;
            at = from < 0 ? -1 : raw->lastIndexOf(piece, qMin(from, raw->size() - 1), sensitivity);
        } else {
            at = matcher.indexIn(*raw, block.position() + qMax(0, offset));
        }
        if (at < 0)
            return {};
        const QTextBlock holder = document->findBlock(at);
        return backward ? (holder.blockNumber() > block.blockNumber() ? block : holder)
                        : (holder.blockNumber() < block.blockNumber() ? block : holder);
    }

private:
    static bool splits(QChar c)
    {
        return c == QLatin1Char(' ') || c == QChar::ParagraphSeparator || c.unicode() == 0xfdd0 ||
               c.unicode() == 0xfdd1;
    }

    Qt::CaseSensitivity sensitivity;
    QString piece;
    int pieceOffset = 0;
    const QString *raw = nullptr;
    QStringMatcher matcher;
};

} // namespace

DocumentLineSource::DocumentLineSource(QTextDocument *document, QObject *parent)
    : LineSource(parent), document(document), scan(new FindAllScan(this)),
      rawTextExpiry(new QTimer(this))
{
    rawTextExpiry->setSingleShot(true);
    rawTextExpiry->setInterval(30000);
    connect(rawTextExpiry, &QTimer::timeout, this, [this] {
        rawText = QString();
        rawTextValid = false;
    });
    connect(document, &QTextDocument::contentsChange, this, &DocumentLineSource::followTextChange);
    // A change of the text ends a running find-all, and rows of earlier ones read nothing.
    connect(document, &QTextDocument::contentsChanged, scan, &FindAllScan::contentChanged);
    connect(document, &QTextDocument::contentsChanged, this, &LineSource::changed);
    connect(scan, &FindAllScan::foundBatch, this, &LineSource::found);
    connect(scan, &FindAllScan::progress, this, &LineSource::findAllProgress);
}

DocumentLineSource::~DocumentLineSource() = default;

QString DocumentLineSource::title() const
{
    return document ? document->metaInformation(QTextDocument::DocumentTitle) : QString();
}

qint64 DocumentLineSource::lineCount() const
{
    return document ? document->blockCount() : 1;
}

QString DocumentLineSource::lineText(qint64 line) const
{
    return document ? document->findBlockByNumber(int(line)).text() : QString();
}

QStringList DocumentLineSource::lineTexts(qint64 first, qint64 count) const
{
    QStringList texts;
    if (!document)
        return texts;
    QTextBlock block = document->findBlockByNumber(int(first));
    for (qint64 i = 0; i < count && block.isValid(); ++i, block = block.next())
        texts << block.text();
    return texts;
}

qint64 DocumentLineSource::lineLength(qint64 line) const
{
    return document ? qMax(0, document->findBlockByNumber(int(line)).length() - 1) : 0;
}

qint64 DocumentLineSource::linePosition(qint64 line) const
{
    return document ? qMax(0, document->findBlockByNumber(int(line)).position()) : 0;
}

qint64 DocumentLineSource::lineAtPosition(qint64 position) const
{
    if (!document)
        return 0;
    const int at = int(qBound(qint64(0), position, qint64(document->characterCount()) - 1));
    return qMax(0, document->findBlock(at).blockNumber());
}

bool DocumentLineSource::containsCommMarker() const
{
    return document && !document->find(commMarker, 0, QTextDocument::FindCaseSensitively).isNull();
}

qint64 DocumentLineSource::longestLineLength() const
{
    qint64 longest = 0;
    for (QTextBlock block = document ? document->begin() : QTextBlock(); block.isValid();
         block = block.next())
        longest = qMax<qint64>(longest, block.length() - 1);
    return longest;
}

const QString &DocumentLineSource::searchedText() const
{
    if (!rawTextValid) {
        rawText = document->toRawText();
        rawTextValid = true;
    }
    rawTextExpiry->start();
    return rawText;
}

void DocumentLineSource::followTextChange(int position, int removed, int added)
{
    emit changedFrom(document->findBlock(position).blockNumber());
    if (!rawTextValid)
        return;
    if (removed == 0 && position == rawText.size()) {
        // Appended, as when following a log: the new characters, separators as U+2029.
        QTextCursor appended(document);
        appended.setPosition(position);
        appended.setPosition(position + added, QTextCursor::KeepAnchor);
        rawText += appended.selectedText();
        return;
    }
    rawText = QString();
    rawTextValid = false;
}

LineMatch DocumentLineSource::find(const QString &text, Qt::CaseSensitivity sensitivity,
                                   bool wholeWords, const TextPosition &from, bool backward,
                                   qint64 stopLine) const
{
    LineMatch match;
    if (!document || text.isEmpty())
        return match;
    QTextDocument::FindFlags options;
    if (sensitivity == Qt::CaseSensitive)
        options |= QTextDocument::FindCaseSensitively;
    if (wholeWords)
        options |= QTextDocument::FindWholeWords;
    if (backward)
        options |= QTextDocument::FindBackward;
    BlockFinder finder(text, sensitivity);
    if (finder.needsText())
        finder.setText(&searchedText());
    const QTextBlock lastBlock =
        stopLine >= 0 ? document->findBlockByNumber(int(stopLine)) : QTextBlock();

    int pos = int(positionOf(from));
    if (backward && --pos < 0)
        return match;
    const QStringMatcher matcher(text, sensitivity);
    QTextBlock block = document->findBlock(pos);
    int blockOffset = pos - block.position();
    if (backward && blockOffset == block.length() - 1)
        --blockOffset;
    int matchStart = -1;
    while (block.isValid()) {
        const QTextBlock candidate = finder.next(document, block, blockOffset, backward);
        if (!candidate.isValid())
            return match;
        if (candidate != block) {
            if (lastBlock.isValid() &&
                (backward ? candidate.blockNumber() < lastBlock.blockNumber()
                          : candidate.blockNumber() > lastBlock.blockNumber()))
                return match;
            block = candidate;
            blockOffset = backward ? block.length() - 2 : 0;
        }
        if (findInBlock(block, text, matcher, blockOffset, options, &matchStart)) {
            match.start = {block.blockNumber(), matchStart};
            match.length = text.size();
            return match;
        }
        if (block == lastBlock)
            break;
        block = backward ? block.previous() : block.next();
        blockOffset = backward ? block.length() - 2 : 0;
    }
    return match;
}

void DocumentLineSource::startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity)
{
    scan->cancel();
    FindAllScan::Job job;
    job.keyword = keyword;
    job.caseSensitivity = sensitivity;
    job.lineCount = lineCount();
    job.nextLine = [block = document ? document->begin() : QTextBlock(),
                    next = qint64(0)](QString *text, qint64 *position) mutable {
        if (!block.isValid())
            return false;
        *text = block.text();
        *position = next;
        next += block.length();
        block = block.next();
        return true;
    };
    job.lineText = scan->guardedSource([doc = document](qint64 lineNumber) {
        const QString text = doc ? doc->findBlockByNumber(int(lineNumber - 1)).text() : QString();
        return LineSource::shownLineText(text, text.size());
    });
    job.ended = [this](qint64 count, bool cancelled) { emit findAllEnded(count, cancelled); };
    scan->run(std::move(job));
}

void DocumentLineSource::cancelFindAll()
{
    scan->cancel();
}
