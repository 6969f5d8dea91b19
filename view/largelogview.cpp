#include "view/largelogview.h"

#include "app/applicationsettings.h"
#include "app/scopetimer.h"
#include "logstore/logfindall.h"
#include "logstore/logstore.h"
#include "searchcore/finding.h"
#include "searchcore/foundrecord.h"
#include "searchcore/searchoptions.h"
#include "searchcore/searchstate.h"
#include "searchcore/searchtext.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QPainter>
#include <QPointer>
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
// Telegrams and fault records are short; of a longer line only this much is decoded and shown
// as details, which a line of millions of characters would otherwise hold up.
constexpr int decodedLineLimit = 10000;

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}
} // namespace

// The gutter and the strip: they paint through the view and hand presses and wheel turns on.
class LargeLogSideArea : public QWidget
{
public:
    LargeLogSideArea(LargeLogView *view, bool isGutter)
        : QWidget(view), view(view), isGutter(isGutter)
    {
        setFont(ApplicationSettings::textFont());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (isGutter)
            view->paintGutter(event);
        else
            view->paintStrip();
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        // The start of the line drawn beside the press, as a press in the text there.
        QMouseEvent forwarded(event->type(), QPointF(0, event->localPos().y()), event->button(),
                              event->buttons(), event->modifiers());
        view->mousePressEvent(&forwarded);
    }
    void wheelEvent(QWheelEvent *event) override { view->wheelEvent(event); }

private:
    LargeLogView *view;
    bool isGutter;
};

// One line as it is laid out on screen: all of it when short, else the stretch around the
// columns in view, placed at the fixed advance of the columns before it.
class LargeLogView::Layout
{
public:
    Layout(const QString &text, const QFont &font, int charWidth, int fromX, int width)
        : charWidth(charWidth)
    {
        QString shown = text;
        if (text.size() > wholeLayoutLimit) {
            first = qBound(0, fromX / qMax(1, charWidth) - layoutSlack, text.size());
            if (first > 0 && text.at(first).isLowSurrogate())
                --first;
            int last = qMin(text.size(), first + width / qMax(1, charWidth) + 2 * layoutSlack);
            if (last < text.size() && last > 0 && text.at(last).isLowSurrogate())
                ++last;
            shown = text.mid(first, last - first);
            shown.replace(QLatin1Char('\t'), QLatin1Char(' '));
        }
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

    int column(qreal x) const
    {
        if (x < offset())
            return qMax(0, int(x / charWidth));
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
    int charWidth;
};

LargeLogView::LargeLogView(QWidget *parent)
    : QAbstractScrollArea(parent), logStore(new LogStore(this)), finder(new LogFindAll(this)),
      searchState(new SearchState(this)), gutter(new LargeLogSideArea(this, true)),
      strip(new LargeLogSideArea(this, false)), normalPalette(palette())
{
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

    connect(logStore, &LogStore::linesIndexed, this, &LargeLogView::onLinesIndexed);
    connect(logStore, &LogStore::finished, this, &LargeLogView::onIndexingFinished);
    connect(logStore, &LogStore::progress, this, [this](int percent) {
        progressPercent = percent;
        emit indexingProgress(percent);
        viewport()->update();
    });
    connect(finder, &LogFindAll::found, this, &LargeLogView::onFound);
    connect(finder, &LogFindAll::finished, this, [this] {
        emit findAllProgress(100);
        emit end(findAllCount);
    });
    connect(finder, &LogFindAll::progress, this, &LargeLogView::findAllProgress);
    updateGeometries();
}

LargeLogView::~LargeLogView()
{
    finder->cancel();
}

void LargeLogView::setId(unsigned id)
{
    setProperty("id", QVariant(id));
}

bool LargeLogView::openLog(const QString &fileName)
{
    finder->cancel();
    searchState->clearNotFoundText();
    caret = anchor = TextPosition();
    detailsLine = -2;
    markerSeen = false;
    progressPercent = 0;
    const bool opened = logStore->open(fileName);
    if (!opened)
        progressPercent = 100;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    onLinesIndexed();
    caretLineChanged();
    return opened;
}

void LargeLogView::followGrowth()
{
    const bool atEnd = caret.line >= logStore->lineCount() - 1 && !hasSelection();
    if (logStore->refresh() == LogStore::Refresh::Reopen) {
        const TextPosition kept = caret;
        const int scroll = verticalScrollBar()->value();
        openLog(fileName());
        if (!atEnd) {
            setSelection(kept, kept);
            verticalScrollBar()->setValue(scroll);
        }
    }
    if (atEnd)
        moveCursorToEnd();
}

void LargeLogView::closeLog()
{
    finder->cancel();
    logStore->close();
    caret = anchor = TextPosition();
    updateGeometries();
    viewport()->update();
}

QString LargeLogView::fileName() const
{
    return logStore->fileName();
}

bool LargeLogView::isIndexing() const
{
    return logStore->isIndexing();
}

void LargeLogView::onLinesIndexed()
{
    cachedFirst = -1; // the last line may have grown
    if (!markerSeen && logStore->containsCommMarker()) {
        markerSeen = true;
        emit telegramLogDetected();
    }
    updateGeometries();
    if (endPending)
        moveCaret(endPosition(), false);
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
    moveCaret(endPosition(), false);
    endPending = logStore->isIndexing();
}

QString LargeLogView::lineText(qint64 line) const
{
    return line >= 0 && line < logStore->lineCount() ? logStore->lineText(line) : QString();
}

int LargeLogView::lineLength(qint64 line) const
{
    return line >= 0 && line < logStore->lineCount() ? int(logStore->lineLength(line)) : 0;
}

TextPosition LargeLogView::endPosition() const
{
    const qint64 last = qMax<qint64>(0, logStore->lineCount() - 1);
    return {last, lineLength(last)};
}

int LargeLogView::lineHeight() const
{
    return fontMetrics().height();
}

int LargeLogView::visibleLineCount() const
{
    return qMax(1, viewport()->height() / qMax(1, lineHeight()));
}

qint64 LargeLogView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

int LargeLogView::lineNumberAreaWidth() const
{
    int digits = 1;
    for (qint64 max = qMax<qint64>(1, logStore->lineCount()); max >= 10; max /= 10)
        ++digits;
    return 10 + digits * fontMetrics().horizontalAdvance(QLatin1Char('9'));
}

int LargeLogView::shownStripWidth() const
{
    const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() -
                     lineNumberAreaWidth() - 100;
    return qBound(0, stripWidth, qMax(0, room));
}

void LargeLogView::setVisualizedTextAreaWidth(int width)
{
    stripWidth = width;
    updateGeometries();
    update();
}

void LargeLogView::setVisualizedTextAreaEnabled(bool on, int storedWidth)
{
    setVisualizedTextAreaWidth(on ? storedWidth : 0);
}

void LargeLogView::updateGeometries()
{
    const int gutterWidth = lineNumberAreaWidth();
    const QMargins margins(gutterWidth, 0, shownStripWidth(), 0);
    if (viewportMargins() != margins)
        setViewportMargins(margins);
    const QRect cr = contentsRect();
    gutter->setGeometry(cr.left(), cr.top(), gutterWidth, cr.height());
    strip->setGeometry(cr.left() + gutterWidth + viewport()->width(), cr.top(), shownStripWidth(),
                       cr.height());
    updateScrollBars();
}

void LargeLogView::updateScrollBars()
{
    const qint64 lines = qMax<qint64>(1, logStore->lineCount());
    const int page = visibleLineCount();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(qMax<qint64>(0, lines - page)));
    vertical->setPageStep(page);
    vertical->setSingleStep(1);
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const qint64 widest = logStore->longestLineLength() * charWidth + 2 * documentMargin;
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, int(qBound<qint64>(0, widest - viewport()->width(), INT_MAX / 2)));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(charWidth * 2);
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
    QVector<VisibleRow> rows;
    const int height = lineHeight();
    const qint64 first = firstVisibleLine();
    const qint64 count = logStore->lineCount();
    for (qint64 line = first; line < count; ++line) {
        const int top = int(line - first) * height;
        if (top > viewport()->height())
            break;
        rows.append(VisibleRow{int(line), top, top + height});
    }
    return rows;
}

void LargeLogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    painter.setFont(font());
    const int height = lineHeight();
    const int scrollX = horizontalScrollBar()->value();
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const TextPosition from = qMin(anchor, caret);
    const TextPosition to = qMax(anchor, caret);
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    QTextCharFormat selectedFormat;
    selectedFormat.setBackground(palette().brush(group, QPalette::Highlight));
    selectedFormat.setForeground(palette().brush(group, QPalette::HighlightedText));

    const QVector<VisibleRow> rows = visibleRows();
    const QStringList texts = shownTexts(rows);
    painter.setPen(palette().color(QPalette::Text));
    for (int i = 0; i < rows.size() && i < texts.size(); ++i) {
        const VisibleRow &row = rows.at(i);
        if (row.line == caret.line)
            painter.fillRect(0, row.top, viewport()->width(), height, currentLineColor);
        const Layout layout(texts.at(i), font(), charWidth, scrollX, viewport()->width());
        QVector<QTextLayout::FormatRange> selections;
        if (from.line <= row.line && row.line <= to.line && from != to) {
            const int start = row.line == from.line ? from.column : 0;
            const int end = row.line == to.line ? to.column : texts.at(i).size() + 1;
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

QStringList LargeLogView::shownTexts(const QVector<VisibleRow> &rows) const
{
    // The text, the gutter and the strip paint the same lines one after the other.
    if (rows.isEmpty())
        return {};
    const qint64 first = rows.first().line;
    if (first != cachedFirst || rows.size() != cachedTexts.size() ||
        cachedCount != logStore->lineCount()) {
        cachedTexts = logStore->lineTexts(first, rows.size());
        cachedFirst = first;
        cachedCount = logStore->lineCount();
    }
    return cachedTexts;
}

void LargeLogView::paintGutter(QPaintEvent *event)
{
    paintLineNumbers(gutter, event, lineNumberAreaWidth(), lineHeight(), visibleRows());
}

void LargeLogView::paintStrip()
{
    const QVector<VisibleRow> rows = visibleRows();
    QStringList lines = shownTexts(rows);
    for (QString &line : lines)
        line.truncate(decodedLineLimit);
    paintVisualization(strip, font(), lineHeight(), rows, lines, int(caret.line), decodeMode);
}

TextPosition LargeLogView::positionAt(const QPoint &point) const
{
    const qint64 count = qMax<qint64>(1, logStore->lineCount());
    const qint64 line =
        qBound<qint64>(0, firstVisibleLine() + qMax(0, point.y()) / lineHeight(), count - 1);
    const QString text = lineText(line);
    const int scrollX = horizontalScrollBar()->value();
    const Layout layout(text, font(), fontMetrics().horizontalAdvance(QLatin1Char('x')), scrollX,
                        viewport()->width());
    const int column = layout.column(point.x() + scrollX - documentMargin);
    return {line, qBound(0, column, text.size())};
}

TextPosition LargeLogView::stepLeft(const TextPosition &at) const
{
    if (at.column > 0) {
        const QString text = lineText(at.line);
        int column = qMin(at.column, text.size()) - 1;
        if (column > 0 && text.at(column).isLowSurrogate() && text.at(column - 1).isHighSurrogate())
            --column;
        return {at.line, column};
    }
    if (at.line > 0)
        return {at.line - 1, lineLength(at.line - 1)};
    return at;
}

TextPosition LargeLogView::stepRight(const TextPosition &at) const
{
    const QString text = lineText(at.line);
    if (at.column < text.size()) {
        int column = at.column + 1;
        if (column < text.size() && text.at(column).isLowSurrogate())
            ++column;
        return {at.line, column};
    }
    if (at.line + 1 < logStore->lineCount())
        return {at.line + 1, 0};
    return at;
}

void LargeLogView::setSelection(const TextPosition &anchorAt, const TextPosition &caretAt)
{
    const qint64 oldLine = caret.line;
    anchor = anchorAt;
    caret = caretAt;
    ensureCaretVisible();
    viewport()->update();
    if (caret.line != oldLine || detailsLine == -2)
        caretLineChanged();
}

void LargeLogView::moveCaret(const TextPosition &to, bool keepAnchor)
{
    setSelection(keepAnchor ? anchor : to, to);
}

void LargeLogView::ensureCaretVisible()
{
    QScrollBar *vertical = verticalScrollBar();
    const int page = visibleLineCount();
    if (caret.line < vertical->value())
        vertical->setValue(int(caret.line));
    else if (caret.line >= vertical->value() + page)
        vertical->setValue(int(caret.line - page + 1));
    const QString text = lineText(caret.line);
    QScrollBar *horizontal = horizontalScrollBar();
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const Layout layout(text, font(), charWidth, horizontal->value(), viewport()->width());
    const int x = documentMargin + qRound(layout.x(caret.column));
    if (x < horizontal->value())
        horizontal->setValue(qMax(0, x - viewport()->width() / 2));
    else if (x > horizontal->value() + viewport()->width() - charWidth)
        horizontal->setValue(x - viewport()->width() / 2);
}

void LargeLogView::caretLineChanged()
{
    gutter->update();
    strip->update();
    if (detailsScheduled)
        return;
    detailsScheduled = true;
    // Once the view has scrolled to the new line, so the decoded context is the one on screen.
    QMetaObject::invokeMethod(this, &LargeLogView::emitSelectedLineDetails, Qt::QueuedConnection);
}

void LargeLogView::emitSelectedLineDetails()
{
    detailsScheduled = false;
    if (detailsLine == caret.line)
        return;
    detailsLine = caret.line;
    const QVector<VisibleRow> rows = visibleRows();
    const int line = int(caret.line);
    const int first = rows.isEmpty() ? line : rows.first().line;
    const int last = rows.isEmpty() ? line : rows.last().line;
    const LogStore *source = logStore;
    const auto read = [source](int n) { return source->lineText(n).left(decodedLineLimit); };
    emit visualizeLineSelected(
        selectedLineDetails(read, int(logStore->lineCount()), line, first, last, decodeMode));
}

QString LargeLogView::selectedText() const
{
    const TextPosition from = qMin(anchor, caret);
    const TextPosition to = qMax(anchor, caret);
    if (from == to)
        return QString();
    if (from.line == to.line)
        return lineText(from.line).mid(from.column, to.column - from.column);
    QStringList lines;
    lines << lineText(from.line).mid(from.column);
    // Copying millions of lines at once would take the whole log into memory several times.
    const qint64 last = qMin(to.line, from.line + 2000000);
    if (last > from.line + 1)
        lines << logStore->lineTexts(from.line + 1, last - from.line - 1);
    lines << lineText(last).left(last == to.line ? to.column : INT_MAX);
    return lines.join(QLatin1Char('\n'));
}

void LargeLogView::selectAll()
{
    endPending = false;
    const TextPosition oldCaret = caret;
    anchor = TextPosition();
    caret = endPosition();
    viewport()->update();
    if (caret.line != oldCaret.line)
        caretLineChanged();
}

void LargeLogView::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void LargeLogView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const qint64 lines = qMax<qint64>(1, logStore->lineCount());
    const auto vertically = [&](qint64 delta) {
        const qint64 line = qBound<qint64>(0, caret.line + delta, lines - 1);
        return TextPosition{line, qMin(caret.column, lineLength(line))};
    };
    TextPosition to = caret;
    switch (event->key()) {
    case Qt::Key_Left:
        to = stepLeft(caret);
        break;
    case Qt::Key_Right:
        to = stepRight(caret);
        break;
    case Qt::Key_Up:
        to = vertically(-1);
        break;
    case Qt::Key_Down:
        to = vertically(1);
        break;
    case Qt::Key_PageUp:
        to = vertically(-visibleLineCount());
        verticalScrollBar()->setValue(verticalScrollBar()->value() - visibleLineCount());
        break;
    case Qt::Key_PageDown:
        to = vertically(visibleLineCount());
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visibleLineCount());
        break;
    case Qt::Key_Home:
        to = control ? TextPosition() : TextPosition{caret.line, 0};
        break;
    case Qt::Key_End:
        to = control ? endPosition() : TextPosition{caret.line, lineLength(caret.line)};
        break;
    default:
        // Read-only: typing changes nothing, and the key goes on to the panel.
        event->ignore();
        return;
    }
    endPending = false;
    moveCaret(to, extend);
}

void LargeLogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        endPending = false;
        moveCaret(positionAt(event->pos()), event->modifiers() & Qt::ShiftModifier);
    }
    setFocus(Qt::MouseFocusReason);
    setPalette(normalPalette);
    searchState->clearNotFoundText();
    emit activated();
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
    const QString text = lineText(at.line);
    int from = qMin(at.column, text.size());
    int to = from;
    while (from > 0 && isWordCharacter(text.at(from - 1)))
        --from;
    while (to < text.size() && isWordCharacter(text.at(to)))
        ++to;
    if (from == to && to < text.size())
        ++to;
    setSelection({at.line, from}, {at.line, to});
}

void LargeLogView::contextMenuEvent(QContextMenuEvent *event)
{
    if (!contextMenu) {
        contextMenu = new QMenu(this);
        QAction *copyAction = contextMenu->addAction(tr("&Copy"), this, &LargeLogView::copy);
        copyAction->setShortcut(QKeySequence::Copy);
        contextMenu->addSeparator();
        QAction *all = contextMenu->addAction(tr("Select All"), this, &LargeLogView::selectAll);
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

void LargeLogView::search(const SearchOptions &options)
{
    ScopeTimer timer("LargeLogView::search");
    setPalette(foundPalette);
    const SearchPattern pattern = searchPattern(options.searchMode, options.text);
    const QString &text = pattern.text;
    if (text.isEmpty()) {
        moveCaret({caret.line, 0}, false);
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
    endPending = false;
    const bool backward = options.searchDirection == FindPrevious;
    if (options.searchDirection == FindFromLineStart)
        moveCaret({caret.line, 0}, false);
    const TextPosition savedAnchor = anchor;
    const TextPosition savedCaret = caret;

    const auto find = [&](const TextPosition &from) {
        return logStore->find(text, pattern.stepCase, pattern.wholeWords, from.line, from.column,
                              backward);
    };
    LogMatch match = find(backward ? qMin(anchor, caret) : qMax(anchor, caret));
    if (!match.isValid()) {
        // The wrap shows the far end first: the end with its last character selected
        // backwards, else the start.
        if (backward) {
            const TextPosition end = endPosition();
            setSelection(end, stepLeft(end));
        } else {
            setSelection(TextPosition(), TextPosition());
        }
        match = find(backward ? qMin(anchor, caret) : TextPosition());
    }
    if (!match.isValid()) {
        setSelection(savedAnchor, savedCaret);
        searchState->rememberNotFound(text);
        emit searchFinished(false);
        return;
    }
    setSelection({match.line, match.column}, {match.line, match.column + match.length});
    searchState->clearNotFoundText();
    emit searchFinished(true);
}

void LargeLogView::findAll(QString keyword, Qt::CaseSensitivity caseSensivity)
{
    emit start(fileName(), keyword);
    findAllCount = 0;
    finder->start(*logStore, keyword, caseSensivity);
}

void LargeLogView::cancelFindAll()
{
    if (!finder->isRunning())
        return;
    finder->cancel();
    emit end(findAllCount);
}

void LargeLogView::onFound(const QVector<LogFinding> &findings)
{
    const unsigned fieldId = property("id").toUInt();
    findAllCount += findings.size();
    if (isSignalConnected(QMetaMethod::fromSignal(&LargeLogView::found))) {
        for (const LogFinding &match : findings) {
            const Finding finding(this, int(match.lineNumber), lineText(match.lineNumber - 1),
                                  match.column, match.length, fieldId, int(match.position));
            emit found(finding);
        }
    }
    FoundBatch batch;
    batch.records.reserve(findings.size());
    for (const LogFinding &match : findings) {
        batch.records.append(
            {int(match.lineNumber), match.column, match.length, int(match.position), fieldId});
        batch.longestLine =
            qMax(batch.longestLine,
                 int(qMin<qint64>(logStore->lineLength(match.lineNumber - 1), INT_MAX)));
    }
    // Rows outlive a reopened or closed log: they read what the view shows then, or nothing.
    const QPointer<LargeLogView> view(this);
    const QString shownFile = fileName();
    batch.lineText = [view, shownFile](int lineNumber) {
        if (!view || view->fileName() != shownFile || lineNumber > view->store().lineCount())
            return QString();
        return view->store().lineText(lineNumber - 1);
    };
    emit foundBatch(batch);
}

void LargeLogView::goTo(const Finding &finding)
{
    ScopeTimer timer("LargeLogView::goTo");
    setPalette(foundPalette);
    endPending = false;
    const qint64 characters = qMax<qint64>(0, logStore->characterCount() - 1);
    const qint64 endAt = qBound<qint64>(0, finding.position, characters);
    const qint64 startAt = qBound<qint64>(0, qint64(finding.position) - finding.length, endAt);
    const auto at = [this](qint64 position) {
        const qint64 line = logStore->lineAtPosition(position);
        return TextPosition{line, int(position - logStore->linePosition(line))};
    };
    setSelection(at(startAt), at(endAt));
    verticalScrollBar()->setValue(int(caret.line - visibleLineCount() / 2));
}
