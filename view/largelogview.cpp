// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/largelogview.h"

#include "logstore/logstore.h"
#include "logview/errormarks.h"
#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "view/visualizationpainter.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <memory>

namespace
{
const QColor currentLineColor = QColor(Qt::yellow).lighter(160);
// As the ordinary view: the document margin and the default tab stops.
constexpr int documentMargin = 4;
constexpr qreal tabStop = 80;
// Longer lines are laid out only around what is on screen, in the font's fixed advance.
constexpr int wholeLayoutLimit = 4096;
constexpr int layoutSlack = 256;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}
} // namespace

// The gutter, the strip and the column of error marks: they paint through the view; a press in
// the gutter or the strip goes to the line drawn beside it, one in the marks to the line marked.
class LargeLogSideArea : public QWidget
{
public:
    enum Kind { Gutter, Strip, Marks };

    LargeLogSideArea(LargeLogView *view, Kind kind) : QWidget(view), view(view), kind(kind)
    {
        setFont(ApplicationSettings::textFont());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (kind == Gutter)
            view->paintGutter(event);
        else if (kind == Strip)
            view->paintStrip();
        else
            view->paintMarks();
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (kind == Marks) {
            view->setFocus(Qt::MouseFocusReason);
            if (event->button() == Qt::LeftButton)
                view->controller()->pressMarkColumn(event->pos().y(), height());
            return;
        }
        // The start of the line drawn beside the press, as a press in the text there.
        const QPoint at(0, event->pos().y());
        QMouseEvent forwarded(event->type(), at, mapToGlobal(at), event->button(), event->buttons(),
                              event->modifiers());
        view->mousePressEvent(&forwarded);
    }
    void wheelEvent(QWheelEvent *event) override { view->wheelEvent(event); }

private:
    LargeLogView *view;
    Kind kind;
};

// One line as it is laid out on screen: all of it when short, else the stretch around the
// columns in view (`shown`, from column `first` on), placed at the fixed advance of the columns
// before it.
class LargeLogView::Layout
{
public:
    Layout(const QString &shown, int first, const QFont &font, qreal charWidth)
        : first(first), charWidth(qMax<qreal>(1, charWidth))
    {
        layout = std::make_unique<QTextLayout>(shown, font);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(tabStop);
        layout->setTextOption(option);
        layout->beginLayout();
        line = layout->createLine();
        line.setLineWidth(1e9);
        layout->endLayout();
    }

    // x of a column, from the line's start.
    qreal x(int column) const
    {
        const int local = column - first;
        if (local < 0)
            return qreal(column) * charWidth;
        if (local > line.textLength())
            return offset() + line.naturalTextWidth() +
                   qreal(local - line.textLength()) * charWidth;
        return offset() + line.cursorToX(local);
    }

    // The nearest column to x; past the laid out stretch, at the fixed advance.
    int column(qreal x) const
    {
        if (x < offset())
            return qMax(0, qRound(x / charWidth));
        const qreal end = offset() + line.naturalTextWidth();
        if (x > end)
            return first + line.textLength() + qRound((x - end) / charWidth);
        return first + line.xToCursor(x - offset());
    }

    void draw(QPainter *painter, const QPointF &lineStart,
              const QVector<QTextLayout::FormatRange> &selections) const
    {
        layout->draw(painter, lineStart + QPointF(offset(), 0), selections);
    }

    int firstColumn() const { return first; }

private:
    qreal offset() const { return qreal(first) * charWidth; }

    std::unique_ptr<QTextLayout> layout;
    QTextLine line;
    int first = 0;
    qreal charWidth;
};

LargeLogView::LargeLogView(QWidget *parent)
    : QAbstractScrollArea(parent), logStore(new LogStore(this)),
      logView(new LogViewController(this, this)),
      gutter(new LargeLogSideArea(this, LargeLogSideArea::Gutter)),
      strip(new LargeLogSideArea(this, LargeLogSideArea::Strip)),
      marks(new LargeLogSideArea(this, LargeLogSideArea::Marks)),
      stripWidth(ApplicationSettings::instance().visualizedAreaWidth()), normalPalette(palette())
{
    setSource(logStore);
    setFont(ApplicationSettings::textFont());
    viewport()->setCursor(Qt::IBeamCursor);
    setAcceptDrops(true); // the panel opens a dropped file here
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    foundPalette = palette();
    foundPalette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::red);
    foundPalette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);

    connect(logView->errorMarks(), &ErrorMarks::changed, marks, qOverload<>(&QWidget::update));
    updateGeometries();
    logView->announceSelectedLine();
}

LargeLogView::~LargeLogView()
{
    logView->setSource(nullptr);
}

void LargeLogView::setSource(LineSource *source)
{
    if (lines)
        disconnect(lines, nullptr, this, nullptr);
    lines = source;
    logView->setSource(source);
    connect(lines, &LineSource::changed, this, &LargeLogView::onLinesIndexed);
    connect(lines, &LineSource::loaded, this, &LargeLogView::onIndexingFinished);
    connect(lines, &LineSource::loadProgressChanged, this, [this](int percent) {
        progressPercent = percent;
        emit indexingProgress(percent);
        viewport()->update();
    });
    caret = anchor = TextPosition();
    markerSeen = false;
    gutterDigits = 1;
    progressPercent = lines->loadProgress();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    onLinesIndexed();
    logView->logReplaced();
}

bool LargeLogView::openLog(const QString &fileName, const QString &title)
{
    if (lines != logStore)
        setSource(logStore);
    caret = anchor = TextPosition();
    markerSeen = false;
    gutterDigits = 1;
    progressPercent = 0;
    const bool opened = logStore->open(fileName);
    logStore->setTitle(title);
    if (!opened)
        progressPercent = 100;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    onLinesIndexed();
    logView->logReplaced();
    return opened;
}

void LargeLogView::followGrowth()
{
    const bool atEnd = caret.line >= lines->lineCount() - 1 && !hasSelection();
    if (lines == logStore && logStore->refresh() == LogStore::Refresh::Reopen) {
        const TextPosition kept = caret;
        const int scroll = verticalScrollBar()->value();
        openLog(logStore->fileName(), logStore->title());
        if (!atEnd) {
            select(kept, kept, false);
            verticalScrollBar()->setValue(scroll);
        }
    }
    if (atEnd)
        moveCursorToEnd();
}

QString LargeLogView::fileName() const
{
    return lines->title();
}

bool LargeLogView::isIndexing() const
{
    return lines->isLoading();
}

void LargeLogView::onLinesIndexed()
{
    if (!markerSeen && lines->containsCommMarker()) {
        markerSeen = true;
        emit telegramLogDetected();
    }
    // While indexing, the gutter takes the width of the line count the whole file will have
    // at this rate, so that the text does not move sideways as the count grows.
    int digits = 1;
    for (qint64 max = qMax<qint64>(1, lines->expectedLineCount()); max >= 10; max /= 10)
        ++digits;
    gutterDigits = lines->isLoading() ? qMax(gutterDigits, digits) : digits;
    updateGeometries();
    if (endPending)
        moveCaret(lines->endPosition(), false);
    viewport()->update();
    gutter->update();
    strip->update();
}

void LargeLogView::onIndexingFinished()
{
    progressPercent = 100;
    onLinesIndexed();
    endPending = false;
}

void LargeLogView::moveCursorToEnd()
{
    moveCaret(lines->endPosition(), false);
    endPending = lines->isLoading();
}

QString LargeLogView::lineSlice(qint64 line, int column, int count) const
{
    return line >= 0 && line < lines->lineCount() ? lines->lineSlice(line, column, count)
                                                  : QString();
}

int LargeLogView::lineLength(qint64 line) const
{
    return line >= 0 && line < lines->lineCount() ? int(lines->lineLength(line)) : 0;
}

int LargeLogView::lineHeight() const
{
    return textLineHeight(font());
}

qreal LargeLogView::charWidth() const
{
    return QFontMetricsF(font()).horizontalAdvance(QLatin1Char('x'));
}

int LargeLogView::topOffset(qint64 firstLine) const
{
    // As in the ordinary view, the document's margin shows above its first line only.
    return firstLine == 0 ? documentMargin : 0;
}

int LargeLogView::rowHeight(qint64 line) const
{
    // The last line carries the document's bottom margin, as in the ordinary view.
    return lineHeight() + (line + 1 >= lines->lineCount() ? documentMargin : 0);
}

qint64 LargeLogView::lastFirstLine() const
{
    // As far down as the ordinary view scrolls: the last lines that fit whole below the
    // document's margin.
    const qint64 count = qMax<qint64>(1, lines->lineCount());
    const int room = viewport()->height() - documentMargin - 1;
    qint64 fit = 0;
    for (qint64 line = count - 1, filled = 0; line >= 0; --line, ++fit) {
        filled += rowHeight(line);
        if (filled > room)
            break;
    }
    return count - fit;
}

int LargeLogView::visibleLineCount() const
{
    return qMax(1, (viewport()->height() - documentMargin - 1) / qMax(1, lineHeight()));
}

qint64 LargeLogView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

void LargeLogView::scrollToLine(qint64 line)
{
    QScrollBar *vertical = verticalScrollBar();
    vertical->setValue(int(qBound(qint64(vertical->minimum()), line, qint64(vertical->maximum()))));
}

int LargeLogView::lineNumberAreaWidth() const
{
    return 10 + gutterDigits * fontMetrics().horizontalAdvance(QLatin1Char('9'));
}

int LargeLogView::shownStripWidth() const
{
    const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() -
                     lineNumberAreaWidth() - errorMarkColumnWidth() - 100;
    return qBound(0, stripWidth, qMax(0, room));
}

int LargeLogView::errorMarkColumnWidth() const
{
    return marks->isVisibleTo(this) ? errorMarkWidth : 0;
}

void LargeLogView::setErrorMarksShown(bool shown)
{
    marks->setVisible(shown);
    logView->errorMarks()->setEnabled(shown);
    updateGeometries();
}

void LargeLogView::setVisualizedTextAreaWidth(int width)
{
    stripWidth = width;
    updateGeometries();
    strip->update();
}

void LargeLogView::updateGeometries()
{
    const int gutterWidth = lineNumberAreaWidth();
    const QMargins margins(gutterWidth, 0, shownStripWidth() + errorMarkColumnWidth(), 0);
    if (viewportMargins() != margins)
        setViewportMargins(margins);
    const QRect cr = contentsRect();
    gutter->setGeometry(cr.left(), cr.top(), gutterWidth, cr.height());
    const int stripLeft = cr.left() + gutterWidth + viewport()->width();
    strip->setGeometry(stripLeft, cr.top(), shownStripWidth(), cr.height());
    marks->setGeometry(stripLeft + shownStripWidth(), cr.top(), errorMarkColumnWidth(),
                       viewport()->height());
    updateScrollBars();
}

void LargeLogView::updateScrollBars()
{
    const qint64 last = lastFirstLine();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(qBound(qint64(0), last, qint64(INT_MAX))));
    vertical->setPageStep(int(qMax<qint64>(1, lines->lineCount() - last)));
    vertical->setSingleStep(1);
    const qint64 widest = qint64(lines->longestLineLength() * charWidth() + 2 * documentMargin);
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0,
                         int(qBound(qint64(0), widest - viewport()->width(), qint64(INT_MAX / 2))));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(qRound(charWidth() * 2));
}

void LargeLogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateGeometries();
}

void LargeLogView::scrollContentsBy(int, int)
{
    viewport()->update();
    gutter->update();
    strip->update();
}

QVector<VisibleRow> LargeLogView::visibleRows() const
{
    return rowsWithin(viewport()->height());
}

QVector<VisibleRow> LargeLogView::rowsWithin(int height) const
{
    // The rows whose top is within `height`, as the ordinary view walks its blocks.
    QVector<VisibleRow> rows;
    const int h = lineHeight();
    const qint64 first = firstVisibleLine();
    const qint64 count = lines->lineCount();
    int top = topOffset(first);
    for (qint64 line = first; line < count && top <= height - 1; ++line, top += h)
        rows.append(VisibleRow{line, top, top + rowHeight(line)});
    return rows;
}

LargeLogView::Layout LargeLogView::layoutOf(qint64 line, const QString &text) const
{
    const int length = lineLength(line);
    if (length <= wholeLayoutLimit)
        return Layout(text.isNull() ? lineSlice(line, 0, length) : text, 0, font(), charWidth());
    // Of a long line only the columns around the screen are read and laid out.
    const qreal width = qMax<qreal>(1, charWidth());
    const int span = int(viewport()->width() / width) + 2 * layoutSlack;
    int first = qBound(0, int(horizontalScrollBar()->value() / width) - layoutSlack, length);
    const int readFrom = qMax(0, first - 1);
    const QString part = lineSlice(line, readFrom, first + span + 1 - readFrom);
    const auto at = [&](int column) { return part.at(column - readFrom); };
    if (first > 0 && first < readFrom + part.size() && at(first).isLowSurrogate())
        --first;
    int last = qMin(length, first + span);
    if (last < length && last > 0 && last < readFrom + part.size() && at(last).isLowSurrogate())
        ++last;
    QString shown = part.mid(first - readFrom, last - first);
    shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return Layout(shown, first, font(), charWidth());
}

void LargeLogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    painter.setFont(font());
    const int height = lineHeight();
    const int scrollX = horizontalScrollBar()->value();
    const TextPosition from = qMin(anchor, caret);
    const TextPosition to = qMax(anchor, caret);
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(palette().brush(group, QPalette::Highlight));
    selectedFormat.setForeground(palette().brush(group, QPalette::HighlightedText));

    const QVector<VisibleRow> rows = visibleRows();
    // Short lines are read together; a long one is read in part, by its layout.
    const QStringList texts =
        rows.isEmpty() ? QStringList()
                       : lines->lineHeads(rows.first().line, rows.size(), wholeLayoutLimit + 1);
    painter.setPen(palette().color(QPalette::Text));
    for (int i = 0; i < rows.size() && i < texts.size(); ++i) {
        const VisibleRow &row = rows.at(i);
        if (row.line == logView->selectedLine())
            painter.fillRect(0, row.top, viewport()->width(), height, currentLineColor);
        const Layout layout = layoutOf(row.line, texts.at(i));
        QVector<QTextLayout::FormatRange> selections;
        if (from.line <= row.line && row.line <= to.line && from != to) {
            const int start = row.line == from.line ? from.column : 0;
            const int end = row.line == to.line ? to.column : lineLength(row.line) + 1;
            QTextLayout::FormatRange range;
            range.start = qMax(0, start - layout.firstColumn());
            range.length = qMax(0, end - layout.firstColumn() - range.start);
            range.format = selectedFormat;
            if (range.length > 0)
                selections.append(range);
        }
        layout.draw(&painter, QPointF(documentMargin - scrollX, row.top), selections);
        if (row.line == caret.line && hasFocus()) {
            const int x = documentMargin + qRound(layout.x(caret.column)) - scrollX;
            painter.fillRect(x, row.top, 1, height, palette().color(QPalette::Text));
        }
    }

    if (progressPercent < 100) {
        const QString text = tr("Indexing... %1%").arg(progressPercent);
        const QRect box(viewport()->width() - fontMetrics().horizontalAdvance(text) - 16, 2,
                        fontMetrics().horizontalAdvance(text) + 12, height + 4);
        painter.fillRect(box, QColor(255, 255, 153));
        painter.setPen(Qt::black);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.drawText(box, Qt::AlignCenter, text);
    }
}

void LargeLogView::paintGutter(QPaintEvent *event)
{
    paintLineNumbers(gutter, event, lineNumberAreaWidth(), lineHeight(),
                     rowsWithin(event->rect().bottom() + 1));
}

void LargeLogView::paintStrip()
{
    // The whole strip's height, as the ordinary view decodes it.
    const QVector<VisibleRow> rows = rowsWithin(strip->height());
    paintVisualization(strip, font(), lineHeight(), rows, logView->rowTexts(rows),
                       logView->selectedLine(), logView->mode());
}

void LargeLogView::paintMarks()
{
    paintErrorMarks(marks, logView->errorMarks()->rows(marks->height()));
}

TextPosition LargeLogView::atX(qint64 line, qreal x) const
{
    return {line, qBound(0, layoutOf(line).column(x), lineLength(line))};
}

qreal LargeLogView::xOf(const TextPosition &at) const
{
    return layoutOf(at.line).x(at.column);
}

TextPosition LargeLogView::positionAt(const QPoint &point) const
{
    const qint64 count = qMax<qint64>(1, lines->lineCount());
    const qint64 first = firstVisibleLine();
    const int y = point.y() - topOffset(first);
    const qint64 line = qBound(qint64(0), first + (y < 0 ? -1 : y / lineHeight()), count - 1);
    return atX(line, point.x() + horizontalScrollBar()->value() - documentMargin);
}

TextPosition LargeLogView::stepLeft(const TextPosition &at) const
{
    if (at.column > 0) {
        int column = qMin(at.column, lineLength(at.line)) - 1;
        // The two characters before the caret: a surrogate pair is passed whole.
        const QString pair = lineSlice(at.line, column - 1, 2);
        if (column > 0 && pair.size() == 2 && pair.at(1).isLowSurrogate() &&
            pair.at(0).isHighSurrogate())
            --column;
        return {at.line, column};
    }
    if (at.line > 0)
        return {at.line - 1, lineLength(at.line - 1)};
    return at;
}

TextPosition LargeLogView::stepRight(const TextPosition &at) const
{
    const int length = lineLength(at.line);
    if (at.column < length) {
        int column = at.column + 1;
        const QString next = column < length ? lineSlice(at.line, column, 1) : QString();
        if (!next.isEmpty() && next.at(0).isLowSurrogate())
            ++column;
        return {at.line, column};
    }
    if (at.line + 1 < lines->lineCount())
        return {at.line + 1, 0};
    return at;
}

void LargeLogView::select(const TextPosition &anchorAt, const TextPosition &caretAt, bool reveal)
{
    const bool moved = caretAt != caret;
    anchor = anchorAt;
    caret = caretAt;
    preferredX = -1;
    pageYValid = false;
    if (reveal)
        ensureCaretVisible();
    viewport()->update();
    // As the ordinary view's cursor, only a caret that moves takes the selected line along.
    if (moved)
        logView->caretMoved();
}

void LargeLogView::moveCaret(const TextPosition &to, bool keepAnchor, bool keepX)
{
    const qreal x = preferredX;
    select(keepAnchor ? anchor : to, to, true);
    if (keepX)
        preferredX = x;
}

QRect LargeLogView::caretRect() const
{
    const qint64 first = firstVisibleLine();
    const int x = documentMargin + qRound(xOf(caret)) - horizontalScrollBar()->value();
    const qint64 top = (caret.line - first) * lineHeight() + topOffset(first);
    return QRect(x, int(qBound(qint64(INT_MIN / 2), top, qint64(INT_MAX / 2))), 1, lineHeight());
}

void LargeLogView::ensureCaretVisible()
{
    // The ordinary view's rules: a caret below the screen comes up to its last whole row, one
    // above it goes to the top row; sideways, a caret out of view is centred.
    const int h = qMax(1, lineHeight());
    const int height = viewport()->height();
    const qint64 first = firstVisibleLine();
    const qint64 line = caret.line;
    if ((line - first + 1) * h >= height - topOffset(first)) {
        qint64 top = line;
        qint64 below = line;
        qint64 filled = h;
        while (filled < height && top > 0) {
            below = top;
            --top;
            filled += h;
        }
        scrollToLine(filled + topOffset(top) <= height ? top : below);
    } else if (line < first) {
        scrollToLine(line);
    }
    revealCaretSideways();
}

void LargeLogView::revealCaretSideways()
{
    QScrollBar *horizontal = horizontalScrollBar();
    const int x = documentMargin + qRound(xOf(caret)) - horizontal->value();
    if (x < 0 || x > viewport()->width() - 1)
        horizontal->setValue(x + horizontal->value() - viewport()->width() / 2);
}

void LargeLogView::pageUpDown(bool down, bool keepAnchor)
{
    // As the ordinary view pages: the screen moves by the rows that fit whole and the caret
    // keeps its row on screen, or goes to the first or last line at either end.
    ensureCaretVisible();
    const int h = qMax(1, lineHeight());
    const int height = viewport()->height();
    const qint64 count = qMax<qint64>(1, lines->lineCount());
    const qint64 first = firstVisibleLine();
    if (!pageYValid)
        pageY = (caret.line - first) * h + topOffset(first);
    qreal lastY = pageY;
    if (down) {
        const qreal bottom = height - topOffset(first);
        qint64 top = first;
        qreal filled = 0;
        bool atEnd = false;
        while (filled + rowHeight(top) <= bottom) {
            if (top + 1 >= count) {
                atEnd = true;
                lastY = bottom;
                break;
            }
            filled += rowHeight(top);
            ++top;
        }
        if (!atEnd)
            scrollToLine(top);
    } else {
        const qreal visibleTop = -topOffset(first) - height;
        qint64 top = first;
        qreal filled = 0;
        while (filled >= visibleTop) {
            if (top == 0) {
                if (first == 0)
                    lastY = 0;
                break;
            }
            --top;
            filled -= rowHeight(top);
        }
        if (visibleTop - filled > 0 && top + 1 < count && top + 1 != first)
            ++top;
        scrollToLine(top);
    }
    const qint64 newFirst = firstVisibleLine();
    lastY -= topOffset(newFirst);
    const qreal x = preferredX >= 0 ? preferredX : xOf(caret);
    qint64 line = caret.line;
    do {
        if (down ? line + 1 >= count : line == 0)
            break;
        line += down ? 1 : -1;
    } while (down ? (line - newFirst) * h < lastY : (line - newFirst) * h > lastY);
    const qreal keptY = pageY;
    const TextPosition to = atX(line, x);
    anchor = keepAnchor ? anchor : to;
    caret = to;
    preferredX = x;
    pageY = keptY;
    pageYValid = true;
    revealCaretSideways();
    viewport()->update();
    logView->caretMoved();
}

void LargeLogView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        logView->copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        endPending = false;
        logView->selectAll();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const qint64 count = qMax<qint64>(1, lines->lineCount());
    const auto vertically = [&](qint64 delta) {
        if (preferredX < 0)
            preferredX = xOf(caret);
        return atX(qBound(qint64(0), caret.line + delta, count - 1), preferredX);
    };
    endPending = false;
    switch (event->key()) {
    case Qt::Key_Left:
        // Without Shift, a selection collapses to its start, as in the ordinary view.
        moveCaret(hasSelection() && !extend ? qMin(anchor, caret) : stepLeft(caret), extend);
        break;
    case Qt::Key_Right:
        moveCaret(hasSelection() && !extend ? qMax(anchor, caret) : stepRight(caret), extend);
        break;
    case Qt::Key_Up:
        // At the first or last line the caret stays, and so does the selection.
        if (caret.line > 0)
            moveCaret(vertically(-1), extend, true);
        else
            ensureCaretVisible();
        break;
    case Qt::Key_Down:
        if (caret.line + 1 < count)
            moveCaret(vertically(1), extend, true);
        else
            ensureCaretVisible();
        break;
    case Qt::Key_PageUp:
        pageUpDown(false, extend);
        break;
    case Qt::Key_PageDown:
        pageUpDown(true, extend);
        break;
    case Qt::Key_Home:
        moveCaret(control ? TextPosition() : TextPosition{caret.line, 0}, extend);
        break;
    case Qt::Key_End:
        moveCaret(control ? lines->endPosition() : TextPosition{caret.line, lineLength(caret.line)},
                  extend);
        break;
    default:
        // Read-only: typing changes nothing, and the key goes on to the panel.
        event->ignore();
        return;
    }
}

void LargeLogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        endPending = false;
        moveCaret(positionAt(event->pos()), event->modifiers() & Qt::ShiftModifier);
    }
    setFocus(Qt::MouseFocusReason);
    logView->pressed();
}

void LargeLogView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        moveCaret(positionAt(event->pos()), true);
}

void LargeLogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const TextPosition at = positionAt(event->pos());
    const int length = lineLength(at.line);
    int from = qMin(at.column, length);
    int to = from;
    // The word is read a stretch at a time, as far as it goes.
    constexpr int stretch = 256;
    for (bool more = true; more && from > 0;) {
        const int start = qMax(0, from - stretch);
        const QString text = lineSlice(at.line, start, from - start);
        int i = text.size();
        while (i > 0 && isWordCharacter(text.at(i - 1)))
            --i;
        more = i == 0 && start > 0 && !text.isEmpty();
        from = start + i;
    }
    for (bool more = true; more && to < length;) {
        const QString text = lineSlice(at.line, to, stretch);
        int i = 0;
        while (i < text.size() && isWordCharacter(text.at(i)))
            ++i;
        more = i == text.size() && !text.isEmpty();
        to += i;
    }
    if (from == to && to < length)
        ++to;
    select({at.line, from}, {at.line, to}, true);
}

void LargeLogView::contextMenuEvent(QContextMenuEvent *event)
{
    if (!contextMenu) {
        contextMenu = new QMenu(this);
        QAction *copyAction =
            contextMenu->addAction(tr("&Copy"), logView, &LogViewController::copy);
        copyAction->setShortcut(QKeySequence::Copy);
        contextMenu->addSeparator();
        QAction *all =
            contextMenu->addAction(tr("Select All"), logView, &LogViewController::selectAll);
        all->setShortcut(QKeySequence::SelectAll);
        if (!extraActions.isEmpty()) {
            contextMenu->addSeparator();
            contextMenu->addActions(extraActions);
        }
    }
    contextMenu->actions().first()->setEnabled(hasSelection());
    contextMenu->popup(event->globalPos());
}

void LargeLogView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LargeLogView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LargeLogView::setFoundPalette(bool found)
{
    setPalette(found ? foundPalette : normalPalette);
}

void LargeLogView::selectedLineChanged()
{
    viewport()->update();
    gutter->update();
    strip->update();
}
