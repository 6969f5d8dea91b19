#include "view/visualizedtextedit.h"

#include "app/scopetimer.h"
#include "searchcore/findallscan.h"
#include "searchcore/finding.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"

#include <QMetaMethod>
#include <QPointer>
#include <QScrollBar>
#include <QStringMatcher>
#include <QTextBlock>
#include <QTextDocument>

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
        *matchStart = block.position() + idx;
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
    BlockFinder(const QTextDocument *document, const QString &expression,
                Qt::CaseSensitivity sensitivity)
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
        if (!piece.isEmpty()) {
            raw = document->toRawText();
            matcher = QStringMatcher(piece, sensitivity);
        }
    }

    // The block from `block` on (backward: back to it) that may hold a match starting at or
    // (backward) before `offset` within `block`, or an invalid block.
    QTextBlock next(const QTextDocument *document, const QTextBlock &block, int offset,
                    bool backward) const
    {
        if (piece.isEmpty())
            return block;
        int at;
        if (backward) {
            const int from = block.position() + offset + pieceOffset;
            at = from < 0 ? -1 : raw.lastIndexOf(piece, qMin(from, raw.size() - 1), sensitivity);
        } else {
            at = matcher.indexIn(raw, block.position() + qMax(0, offset));
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
    QString raw;
    QStringMatcher matcher;
};

// The document's find from position `from`, stopping after `lastBlock` (an invalid block: at
// the document's end or start).
QTextCursor findUpTo(QTextDocument *document, const BlockFinder &finder, const QString &expression,
                     int from, QTextDocument::FindFlags options, const QTextBlock &lastBlock)
{
    const bool backward = options & QTextDocument::FindBackward;
    int pos = from;
    if (backward && --pos < 0)
        return {};
    const QStringMatcher matcher(expression, (options & QTextDocument::FindCaseSensitively)
                                                 ? Qt::CaseSensitive
                                                 : Qt::CaseInsensitive);
    QTextBlock block = document->findBlock(pos);
    int blockOffset = pos - block.position();
    if (backward && blockOffset == block.length() - 1)
        --blockOffset;
    int matchStart = -1;
    while (block.isValid()) {
        const QTextBlock candidate = finder.next(document, block, blockOffset, backward);
        if (!candidate.isValid())
            return {};
        if (candidate != block) {
            if (lastBlock.isValid() &&
                (backward ? candidate.blockNumber() < lastBlock.blockNumber()
                          : candidate.blockNumber() > lastBlock.blockNumber()))
                return {};
            block = candidate;
            blockOffset = backward ? block.length() - 2 : 0;
        }
        if (findInBlock(block, expression, matcher, blockOffset, options, &matchStart)) {
            QTextCursor cursor(document);
            cursor.setPosition(matchStart);
            cursor.setPosition(matchStart + expression.length(), QTextCursor::KeepAnchor);
            return cursor;
        }
        if (block == lastBlock)
            break;
        block = backward ? block.previous() : block.next();
        blockOffset = backward ? block.length() - 2 : 0;
    }
    return {};
}

} // namespace

void VisualizedTextEdit::search(const SearchOptions &options)
{
    ScopeTimer timer("VisualizedTextEdit::search");
    setPalette(foundPalette);

    const SearchPattern pattern = searchPattern(options.searchMode, options.text);
    const QString &text = pattern.text;
    QTextDocument::FindFlags flags;
    if (pattern.stepCase == Qt::CaseSensitive)
        flags |= QTextDocument::FindCaseSensitively;
    if (pattern.wholeWords)
        flags |= QTextDocument::FindWholeWords;

    if (text.isEmpty()) {
        QTextCursor cursor = textCursor();
        cursor.movePosition(QTextCursor::StartOfBlock);
        setTextCursor(cursor);
        searchState->clearNotFoundText();
        emit searchFinished(false);
        return;
    }

    if (options.searchDirection == FindAll) {
        findAll(text, pattern.findAllCase);
        return;
    }

    if (searchState->rulesOut(text)) {
        emit searchFinished(false);
        return;
    }

    const bool backward = options.searchDirection == FindPrevious;
    if (backward)
        flags |= QTextDocument::FindBackward;

    QTextCursor cursor = textCursor();
    if (options.searchDirection == FindFromLineStart) {
        cursor.movePosition(QTextCursor::StartOfBlock);
        setTextCursor(cursor);
    }
    const QTextCursor saved = cursor;

    // The document's find, done here so that blocks without the text are ruled out cheaply:
    // from the cursor to the far end, then once more after wrapping. Everything from where the
    // first scan began to the far end is then known to hold no match, so the second scan
    // stops at the block in which the first one started.
    QTextDocument *doc = document();
    const BlockFinder finder(doc, text, pattern.stepCase);
    const int firstFrom = backward ? saved.selectionStart() : saved.selectionEnd();
    QTextCursor match = findUpTo(doc, finder, text, firstFrom, flags, QTextBlock());
    if (match.isNull()) {
        // The wrap shows the document's far end first, as a second find from there would: the
        // end with its last character selected backwards, else the start.
        QTextCursor wrap(doc);
        if (backward) {
            wrap.movePosition(QTextCursor::End);
            wrap.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        }
        setTextCursor(wrap);
        if (backward) {
            const QTextBlock lastBlock =
                firstFrom > 0 ? doc->findBlock(firstFrom - 1) : QTextBlock();
            match = findUpTo(doc, finder, text, wrap.selectionStart(), flags, lastBlock);
        } else {
            match = findUpTo(doc, finder, text, 0, flags, doc->findBlock(firstFrom));
        }
    }
    if (match.isNull()) {
        setTextCursor(saved);
        searchState->rememberNotFound(text);
        emit searchFinished(false);
        return;
    }
    setTextCursor(match);
    ensureCursorVisible();
    searchState->clearNotFoundText();
    emit searchFinished(true);
}

void VisualizedTextEdit::findAll(QString keyword, Qt::CaseSensitivity caseSensivity)
{
    // One find-all at a time: a running one ends, with what it found so far, before this one
    // starts. The scan goes on from the event loop; a change of the text ends it.
    FindAllScan *scan = FindAllScan::of(this);
    scan->cancel();
    connect(this, &QPlainTextEdit::textChanged, scan, &FindAllScan::contentChanged,
            Qt::UniqueConnection);
    emit start(document()->metaInformation(QTextDocument::DocumentTitle), keyword);

    QTextDocument *doc = document();
    FindAllScan::Job job;
    job.keyword = keyword;
    job.caseSensitivity = caseSensivity;
    job.fieldId = property("id").toUInt();
    job.lineCount = doc->blockCount();
    job.nextLine = [block = doc->begin(), next = 0](QString *text, int *position) mutable {
        if (!block.isValid())
            return false;
        *text = block.text();
        *position = next;
        next += block.length();
        block = block.next();
        return true;
    };
    job.lineText = scan->guardedSource([doc = QPointer<QTextDocument>(doc)](int lineNumber) {
        return doc ? doc->findBlockByNumber(lineNumber - 1).text() : QString();
    });
    // Findings are built only while someone listens for them.
    const QMetaMethod foundSignal = QMetaMethod::fromSignal(&VisualizedTextEdit::found);
    job.eachMatch = [this, foundSignal](const FoundRecord &record, const QString &line) {
        if (!isSignalConnected(foundSignal))
            return;
        const Finding finding(this, record.lineNumber, line, record.column, record.length,
                              record.fieldId, record.position);
        emit found(finding);
    };
    job.ended = [this](int count) { emit end(count); };
    scan->run(std::move(job));
}

void VisualizedTextEdit::goTo(const Finding &finding)
{
    ScopeTimer timer("VisualizedTextEdit::goTo");
    setPalette(foundPalette);

    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    const int endPosition = cursor.position();
    const int startPosition = qBound(0, finding.position - finding.length, endPosition);
    cursor.setPosition(startPosition);
    cursor.setPosition(qBound(startPosition, finding.position, endPosition),
                       QTextCursor::KeepAnchor);
    setTextCursor(cursor);

    const int half = height() / 2;
    QScrollBar *bar = verticalScrollBar();
    QRect r = cursorRect();
    while (r.top() < half - r.height()) {
        if (bar->value() == bar->minimum())
            break;
        bar->setValue(bar->value() - 1);
        r = cursorRect();
    }
    while (r.top() > half + r.height()) {
        if (bar->value() == bar->maximum())
            break;
        bar->setValue(bar->value() + 1);
        r = cursorRect();
    }
    if (r.top() > half - r.height())
        bar->setValue(bar->value() + 1);
}
