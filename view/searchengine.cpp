#include "view/visualizedtextedit.h"

#include "app/scopetimer.h"
#include "searchcore/finding.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"

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

// The document's find from position `from`, stopping after `lastBlock` (an invalid block: at
// the document's end or start).
QTextCursor findUpTo(QTextDocument *document, const QString &expression, int from,
                     QTextDocument::FindFlags options, const QTextBlock &lastBlock)
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

    QString &notFoundText = searchState->notFoundText;
    if (!notFoundText.isEmpty() && text.contains(notFoundText)) {
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
    const int firstFrom = backward ? saved.selectionStart() : saved.selectionEnd();
    QTextCursor match = findUpTo(doc, text, firstFrom, flags, QTextBlock());
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
            match = findUpTo(doc, text, wrap.selectionStart(), flags, lastBlock);
        } else {
            match = findUpTo(doc, text, 0, flags, doc->findBlock(firstFrom));
        }
    }
    if (match.isNull()) {
        setTextCursor(saved);
        if (!notFoundText.contains(text))
            notFoundText = text;
        emit searchFinished(false);
        return;
    }
    setTextCursor(match);
    ensureCursorVisible();
    notFoundText.clear();
    emit searchFinished(true);
}

void VisualizedTextEdit::findAll(QString keyword, Qt::CaseSensitivity caseSensivity)
{
    emit start(document()->metaInformation(QTextDocument::DocumentTitle), keyword);
    if (keyword.isEmpty()) { // an empty text would match everywhere without moving on
        emit end(0);
        return;
    }
    const unsigned fieldId = property("id").toUInt();
    const int length = keyword.length();
    int count = 0;
    int lineNumber = 1;
    for (QTextBlock block = document()->begin(); block.isValid();
         block = block.next(), ++lineNumber) {
        const QString line = block.text();
        int from = 0;
        int blockPosition = -1; // looked up only for lines that match
        while (from < line.length()) {
            const int column = line.indexOf(keyword, from, caseSensivity);
            if (column < 0)
                break;
            if (blockPosition < 0)
                blockPosition = block.position();
            const Finding finding(this, lineNumber, line, column, length, fieldId,
                                  blockPosition + column + length);
            emit found(finding);
            ++count;
            from = column + length;
        }
    }
    emit end(count);
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
