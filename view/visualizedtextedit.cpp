#include "view/visualizedtextedit.h"

#include "app/applicationsettings.h"
#include "searchcore/searchstate.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QTextBlock>
#include <QTimer>

VisualizedTextEdit::VisualizedTextEdit(QWidget *parent)
    : QPlainTextEdit(parent), selectedLine(-1),
      visualizedAreaWidth(ApplicationSettings::instance().visualizedAreaWidth()),
      lineSelectionChanged(true), normalPalette(palette())
{
    lineNumberArea = new LineNumberArea(this);
    visualizedTextArea = new VisualizedTextArea(this);
    searchState = new SearchState(this);

    foundPalette = palette();
    // A match selected while the focus is elsewhere (in the search bar) shows white on red.
    foundPalette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::red);
    foundPalette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);

    setFont(ApplicationSettings::textFont());
    setLineWrapMode(QPlainTextEdit::NoWrap);

    connect(this, &QPlainTextEdit::textChanged, searchState, &SearchState::clearNotFoundText);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!changingText)
            emit textEditedByUser();
    });
    rawTextExpiry = new QTimer(this);
    rawTextExpiry->setSingleShot(true);
    rawTextExpiry->setInterval(30000);
    connect(rawTextExpiry, &QTimer::timeout, this, [this] {
        rawText = QString();
        rawTextValid = false;
    });
    connect(document(), &QTextDocument::contentsChange, this,
            &VisualizedTextEdit::followTextChange);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &VisualizedTextEdit::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &VisualizedTextEdit::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &VisualizedTextEdit::highlightCurrentLine);
    // Queued, so that the strip is never repainted from inside the gutter's paint handler.
    connect(this, &VisualizedTextEdit::forceVisualizedTextAreaToBePainted, this,
            &VisualizedTextEdit::paintVisualizedTextArea, Qt::QueuedConnection);

    applyMargins(lineNumberAreaWidth());
    // The details pane learns the initial selection, as it learns every later one.
    scheduleLineDetails();
}

VisualizedTextEdit::~VisualizedTextEdit()
{
    delete lineNumberArea;
    delete visualizedTextArea;
    delete searchState;
}

void VisualizedTextEdit::applyMargins(int gutterWidth)
{
    // Setting equal margins again would still lay out the scroll area's children.
    const QMargins margins(gutterWidth, 0, shownStripWidth(gutterWidth), 0);
    if (!loadingText && viewportMargins() != margins)
        setViewportMargins(margins);
}

void VisualizedTextEdit::setLogText(const QString &fileName, const QString &text)
{
    // Any change of the viewport's width makes Qt lay out every block of the document again,
    // which for a big log costs about as much time and memory as loading it. So the gutter gets
    // the width of the new line count while the view is empty, and the margins stay as they are
    // while the document fills (it passes through other block counts on the way). A line
    // separator other than the line feed merely makes the gutter widen afterwards.
    int newBlockCount = 1;
    for (int at = text.indexOf(QLatin1Char('\n')); at >= 0;
         at = text.indexOf(QLatin1Char('\n'), at + 1))
        ++newBlockCount;
    // Loading is no edit, the clearing for a new gutter width included.
    changingText = true;
    const int newGutterWidth = gutterWidthFor(newBlockCount);
    if (newGutterWidth != lineNumberAreaWidth()) {
        clear();
        applyMargins(newGutterWidth);
    }
    loadingText = true;
    setPlainText(text);
    changingText = false;
    loadingText = false;
    applyMargins(lineNumberAreaWidth());
    // The areas were placed while the view was empty; with unchanged margins nothing moves them.
    placeAreas();
    document()->setMetaInformation(QTextDocument::DocumentTitle, fileName);
    lineSelectionChanged = true;
    scheduleLineDetails();
}

void VisualizedTextEdit::appendLogText(const QString &text)
{
    const QTextCursor caret = textCursor();
    const bool atEnd = caret.blockNumber() == blockCount() - 1 && !caret.hasSelection();
    changingText = true;
    // Followed text is no edit to undo; the undo history would only grow with it.
    document()->setUndoRedoEnabled(false);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    document()->setUndoRedoEnabled(true);
    changingText = false;
    if (atEnd)
        moveCursorToEnd();
}

void VisualizedTextEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu(event->pos());
    if (!extraActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(extraActions);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void VisualizedTextEdit::setId(unsigned id)
{
    setProperty("id", id);
}

void VisualizedTextEdit::moveCursorToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void VisualizedTextEdit::setVisualizedTextAreaWidth(int width)
{
    visualizedAreaWidth = width;
    applyMargins(lineNumberAreaWidth());
    repaint();
}

void VisualizedTextEdit::setVisualizedTextAreaEnabled(bool on)
{
    visualizedAreaWidth = on ? ApplicationSettings::instance().visualizedAreaWidth() : 0;
    applyMargins(lineNumberAreaWidth());
}

int VisualizedTextEdit::lineNumberAreaWidth() const
{
    return gutterWidthFor(blockCount());
}

int VisualizedTextEdit::gutterWidthFor(int blockCount) const
{
    int digits = 1;
    for (int max = qMax(1, blockCount); max >= 10; max /= 10)
        ++digits;
    return 10 + digits * fontMetrics().horizontalAdvance(QLatin1Char('9'));
}

void VisualizedTextEdit::updateMargins(int)
{
    applyMargins(lineNumberAreaWidth());
}

void VisualizedTextEdit::updateLineNumberArea(const QRect &rect, int dy)
{
    if (dy)
        lineNumberArea->scroll(0, dy);
    else
        lineNumberArea->update(0, rect.y(), lineNumberAreaWidth(), rect.height());

    if (rect.contains(viewport()->rect()))
        updateMargins(0);
}

int VisualizedTextEdit::shownStripWidth(int gutterWidth) const
{
    // A stored width from a wider view must not cover all of the text.
    const QMargins margins = viewportMargins();
    const int frameAndBars = width() - viewport()->width() - margins.left() - margins.right();
    const int room = width() - frameAndBars - gutterWidth - minimumTextWidth;
    return qBound(0, visualizedAreaWidth, qMax(0, room));
}

void VisualizedTextEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    applyMargins(lineNumberAreaWidth());
    placeAreas();
}

void VisualizedTextEdit::placeAreas()
{
    const QRect cr = contentsRect();
    const int gutterWidth = lineNumberAreaWidth();
    lineNumberArea->setGeometry(QRect(cr.left(), cr.top(), gutterWidth, cr.height()));
    visualizedTextArea->setGeometry(QRect(cr.left() + viewport()->width() + gutterWidth, cr.top(),
                                          shownStripWidth(gutterWidth), cr.height()));
}

void VisualizedTextEdit::highlightCurrentLine()
{
    QTextCursor line = textCursor();
    line.movePosition(QTextCursor::StartOfBlock);
    line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    currentLineText = line.selectedText();
    selectedLine = line.blockNumber();

    QList<QTextEdit::ExtraSelection> extraSelections;
    if (!isReadOnly()) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(QColor(Qt::yellow).lighter(160));
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selection.cursor = textCursor();
        selection.cursor.clearSelection();
        extraSelections.append(selection);
    }
    setExtraSelections(extraSelections);

    lineSelectionChanged = true;
    scheduleLineDetails();
    emit forceVisualizedTextAreaToBePainted();
}

void VisualizedTextEdit::scheduleLineDetails()
{
    // Once the event loop runs again, when the view has scrolled to the new line.
    if (detailsScheduled)
        return;
    detailsScheduled = true;
    QMetaObject::invokeMethod(this, &VisualizedTextEdit::emitSelectedLineDetails,
                              Qt::QueuedConnection);
}

void VisualizedTextEdit::emitSelectedLineDetails()
{
    detailsScheduled = false;
    if (!lineSelectionChanged)
        return;
    lineSelectionChanged = false;
    const QVector<VisibleRow> rows = visibleRows(viewport()->rect());
    const int first = rows.isEmpty() ? selectedLine : rows.first().line;
    const int last = rows.isEmpty() ? selectedLine : rows.last().line;
    const QTextDocument *doc = document();
    const auto read = [doc](int line) { return doc->findBlockByNumber(line).text(); };
    emit visualizeLineSelected(
        selectedLineDetails(read, blockCount(), selectedLine, first, last, decodeMode));
}

QVector<VisibleRow> VisualizedTextEdit::visibleRows(const QRect &rect) const
{
    QVector<VisibleRow> rows;
    QTextBlock block = firstVisibleBlock();
    int top = int(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + int(blockBoundingRect(block).height());
    while (block.isValid() && top <= rect.bottom()) {
        if (block.isVisible() && bottom >= rect.top())
            rows.append(VisibleRow{block.blockNumber(), top, bottom});
        block = block.next();
        top = bottom;
        bottom = top + int(blockBoundingRect(block).height());
    }
    return rows;
}

QStringList VisualizedTextEdit::visibleLineTexts(const QRect &rect) const
{
    QStringList lines;
    for (const VisibleRow &row : visibleRows(rect))
        lines << document()->findBlockByNumber(row.line).text();
    return lines;
}

void VisualizedTextEdit::visualizedTextAreaPaintEvent(QPaintEvent *)
{
    // The whole strip, not just the exposed part, so that records pair with screen rows.
    const QVector<VisibleRow> rows = visibleRows(visualizedTextArea->rect());
    QStringList lines;
    lines.reserve(rows.size());
    QTextBlock block =
        rows.isEmpty() ? QTextBlock() : document()->findBlockByNumber(rows.first().line);
    for (int i = 0; i < rows.size(); ++i, block = block.next())
        lines << block.text();
    paintVisualization(visualizedTextArea, font(), fontMetrics().height(), rows, lines,
                       selectedLine, decodeMode);
}

void VisualizedTextEdit::lineNumberAreaPaintEvent(QPaintEvent *event)
{
    paintLineNumbers(lineNumberArea, event, lineNumberAreaWidth(), fontMetrics().height(),
                     visibleRows(event->rect()));
    emit forceVisualizedTextAreaToBePainted();
}

void VisualizedTextEdit::paintVisualizedTextArea()
{
    visualizedTextArea->repaint();
}

void VisualizedTextEdit::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    setPalette(normalPalette);
    searchState->clearNotFoundText();
    emit activated();
}
