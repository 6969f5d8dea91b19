// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/visualizedtextedit.h"

#include "logview/documentlinesource.h"
#include "logview/errormarks.h"
#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "view/errormarkarea.h"
#include "view/linenumberarea.h"
#include "view/visualizationpainter.h"
#include "view/visualizedtextarea.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTextBlock>

VisualizedTextEdit::VisualizedTextEdit(QWidget *parent)
    : QPlainTextEdit(parent), lineNumberArea(new LineNumberArea(this)),
      visualizedTextArea(new VisualizedTextArea(this)), errorMarkArea(new ErrorMarkArea(this)),
      lines(new DocumentLineSource(document(), this)), logView(new LogViewController(this, this)),
      visualizedAreaWidth(ApplicationSettings::instance().visualizedAreaWidth()),
      normalPalette(palette())
{
    logView->setSource(lines);
    foundPalette = palette();
    // A match selected while the focus is elsewhere (in the search bar) shows white on red.
    foundPalette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::red);
    foundPalette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);

    setFont(ApplicationSettings::textFont());
    setLineWrapMode(QPlainTextEdit::NoWrap);

    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!changingText)
            emit textEditedByUser();
    });
    connect(this, &QPlainTextEdit::blockCountChanged, this, &VisualizedTextEdit::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &VisualizedTextEdit::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, logView, &LogViewController::caretMoved);
    connect(logView->errorMarks(), &ErrorMarks::changed, errorMarkArea,
            qOverload<>(&QWidget::update));
    // Queued, so that the strip is never repainted from inside the gutter's paint handler.
    connect(this, &VisualizedTextEdit::forceVisualizedTextAreaToBePainted, this,
            &VisualizedTextEdit::paintVisualizedTextArea, Qt::QueuedConnection);

    applyMargins(lineNumberAreaWidth());
    // The details pane learns the initial selection, as it learns every later one.
    logView->announceSelectedLine();
}

VisualizedTextEdit::~VisualizedTextEdit()
{
    // The controller must not hear of the document's last changes.
    logView->setSource(nullptr);
    delete lineNumberArea;
    delete visualizedTextArea;
    delete errorMarkArea;
}

QWidget *VisualizedTextEdit::lineNumberWidget() const
{
    return lineNumberArea;
}

QWidget *VisualizedTextEdit::visualizedTextWidget() const
{
    return visualizedTextArea;
}

QWidget *VisualizedTextEdit::errorMarkWidget() const
{
    return errorMarkArea;
}

void VisualizedTextEdit::setErrorMarksShown(bool shown)
{
    errorMarkArea->setVisible(shown);
    logView->errorMarks()->setEnabled(shown);
    applyMargins(lineNumberAreaWidth());
    placeAreas();
}

int VisualizedTextEdit::errorMarkColumnWidth() const
{
    return errorMarkArea->isVisibleTo(this) ? errorMarkWidth : 0;
}

void VisualizedTextEdit::applyMargins(int gutterWidth)
{
    // Setting equal margins again would still lay out the scroll area's children.
    const QMargins margins(gutterWidth, 0, shownStripWidth() + errorMarkColumnWidth(), 0);
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
    logView->logReplaced();
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

void VisualizedTextEdit::keyPressEvent(QKeyEvent *event)
{
    // What Select All and Copy take is the same in every log view.
    if (event == QKeySequence::SelectAll)
        logView->selectAll();
    else if (event == QKeySequence::Copy)
        logView->copy();
    else
        QPlainTextEdit::keyPressEvent(event);
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
    placeAreas();
    visualizedTextArea->update();
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

int VisualizedTextEdit::shownStripWidth() const
{
    // A stored width from a wider view must not cover all of the text.
    const QMargins margins = viewportMargins();
    const int frameAndBars = width() - viewport()->width() - margins.left() - margins.right();
    const int room =
        width() - frameAndBars - lineNumberAreaWidth() - errorMarkColumnWidth() - minimumTextWidth;
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
    const int stripLeft = cr.left() + viewport()->width() + gutterWidth;
    visualizedTextArea->setGeometry(QRect(stripLeft, cr.top(), shownStripWidth(), cr.height()));
    errorMarkArea->setGeometry(QRect(stripLeft + shownStripWidth(), cr.top(),
                                     errorMarkColumnWidth(), viewport()->height()));
}

void VisualizedTextEdit::selectedLineChanged()
{
    QList<QTextEdit::ExtraSelection> extraSelections;
    if (!isReadOnly()) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(QColor(Qt::yellow).lighter(160));
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selection.cursor = QTextCursor(document()->findBlockByNumber(int(logView->selectedLine())));
        extraSelections.append(selection);
    }
    setExtraSelections(extraSelections);
    emit forceVisualizedTextAreaToBePainted();
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

void VisualizedTextEdit::visualizedTextAreaPaintEvent(QPaintEvent *)
{
    // The whole strip, not just the exposed part, so that records pair with screen rows.
    const QVector<VisibleRow> rows = visibleRows(visualizedTextArea->rect());
    paintVisualization(visualizedTextArea, font(), textLineHeight(font()), rows,
                       logView->rowTexts(rows), logView->selectedLine(), logView->mode());
}

void VisualizedTextEdit::errorMarkAreaPaintEvent(QPaintEvent *)
{
    paintErrorMarks(errorMarkArea, logView->errorMarks()->rows(errorMarkArea->height()));
}

void VisualizedTextEdit::lineNumberAreaPaintEvent(QPaintEvent *event)
{
    paintLineNumbers(lineNumberArea, event, lineNumberAreaWidth(), textLineHeight(font()),
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
    logView->pressed();
}

int VisualizedTextEdit::positionOf(const TextPosition &at) const
{
    const QTextBlock block = document()->findBlockByNumber(int(at.line));
    return block.isValid() ? block.position() + qBound(0, at.column, block.length() - 1)
                           : document()->characterCount() - 1;
}

TextPosition VisualizedTextEdit::anchorPosition() const
{
    const QTextCursor cursor = textCursor();
    const QTextBlock block = document()->findBlock(cursor.anchor());
    return {block.blockNumber(), cursor.anchor() - block.position()};
}

TextPosition VisualizedTextEdit::caretPosition() const
{
    const QTextCursor cursor = textCursor();
    return {cursor.blockNumber(), cursor.positionInBlock()};
}

void VisualizedTextEdit::select(const TextPosition &anchor, const TextPosition &caret, bool reveal)
{
    QTextCursor cursor(document());
    cursor.setPosition(positionOf(anchor));
    cursor.setPosition(positionOf(caret), QTextCursor::KeepAnchor);
    // Setting the cursor scrolls it into view; Select All leaves the view where it is.
    const int scrolledX = horizontalScrollBar()->value();
    const int scrolledY = verticalScrollBar()->value();
    setTextCursor(cursor);
    if (reveal) {
        ensureCursorVisible();
    } else {
        horizontalScrollBar()->setValue(scrolledX);
        verticalScrollBar()->setValue(scrolledY);
    }
}

void VisualizedTextEdit::scrollToLine(qint64 line)
{
    verticalScrollBar()->setValue(int(qBound(qint64(0), line, qint64(INT_MAX))));
}

int VisualizedTextEdit::visibleLineCount() const
{
    // As the scroll bar counts them: the lines that fit below the document's top margin.
    return qMax(1, (viewport()->height() - int(document()->documentMargin()) - 1) /
                       qMax(1, textLineHeight(font())));
}

void VisualizedTextEdit::setFoundPalette(bool found)
{
    setPalette(found ? foundPalette : normalPalette);
}

int VisualizedTextEdit::lineHeight() const
{
    return textLineHeight(font());
}
