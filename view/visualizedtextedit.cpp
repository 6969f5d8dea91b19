#include "view/visualizedtextedit.h"

#include "app/applicationsettings.h"
#include "search/searchstate.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"

#include <QPainter>
#include <QTextBlock>

namespace
{
const QColor gutterBackground(228, 228, 228, 255);
const QColor gutterForeground(128, 128, 128, 255);
} // namespace

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
    connect(this, &QPlainTextEdit::blockCountChanged, this, &VisualizedTextEdit::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, &VisualizedTextEdit::updateLineNumberArea);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this,
            &VisualizedTextEdit::highlightCurrentLine);
    // Queued, so that the strip is never repainted from inside the gutter's paint handler.
    connect(this, &VisualizedTextEdit::forceVisualizedTextAreaToBePainted, this,
            &VisualizedTextEdit::paintVisualizedTextArea, Qt::QueuedConnection);

    applyMargins(lineNumberAreaWidth());
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
    const QMargins margins(gutterWidth, 0, visualizedAreaWidth, 0);
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
    const int newGutterWidth = gutterWidthFor(newBlockCount);
    if (newGutterWidth != lineNumberAreaWidth()) {
        clear();
        applyMargins(newGutterWidth);
    }
    loadingText = true;
    setPlainText(text);
    loadingText = false;
    applyMargins(lineNumberAreaWidth());
    // The areas were placed while the view was empty; with unchanged margins nothing moves them.
    placeAreas();
    document()->setMetaInformation(QTextDocument::DocumentTitle, fileName);
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

void VisualizedTextEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    placeAreas();
}

void VisualizedTextEdit::placeAreas()
{
    const QRect cr = contentsRect();
    const int gutterWidth = lineNumberAreaWidth();
    lineNumberArea->setGeometry(QRect(cr.left(), cr.top(), gutterWidth, cr.height()));
    visualizedTextArea->setGeometry(QRect(cr.left() + viewport()->width() + gutterWidth, cr.top(),
                                          visualizedAreaWidth, cr.height()));
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
    emit forceVisualizedTextAreaToBePainted();
}

void VisualizedTextEdit::lineNumberAreaPaintEvent(QPaintEvent *event)
{
    QPainter painter(lineNumberArea);
    painter.fillRect(event->rect(), gutterBackground);

    const int gutterWidth = lineNumberAreaWidth();
    painter.setPen(gutterForeground);
    painter.drawLine(gutterWidth - 1, lineNumberArea->y(), gutterWidth - 1,
                     lineNumberArea->height());

    const int lineHeight = fontMetrics().height();
    QTextBlock block = firstVisibleBlock();
    int blockNumber = block.blockNumber();
    int top = int(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + int(blockBoundingRect(block).height());
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && bottom >= event->rect().top())
            painter.drawText(-5, top, gutterWidth, lineHeight, Qt::AlignRight,
                             QString::number(blockNumber + 1));
        block = block.next();
        top = bottom;
        bottom = top + int(blockBoundingRect(block).height());
        ++blockNumber;
    }

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
