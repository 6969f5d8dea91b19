#include "view/visualizedtextedit.h"

#include "app/applicationsettings.h"
#include "search/searchstate.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"

// Placeholder until the log view is built.
VisualizedTextEdit::VisualizedTextEdit(QWidget *parent)
    : QPlainTextEdit(parent), selectedLine(-1),
      visualizedAreaWidth(ApplicationSettings::instance().visualizedAreaWidth()),
      lineSelectionChanged(true), normalPalette(palette())
{
    lineNumberArea = new LineNumberArea(this);
    visualizedTextArea = new VisualizedTextArea(this);
    searchState = new SearchState(this);
    foundPalette = palette();
}

VisualizedTextEdit::~VisualizedTextEdit() = default;

void VisualizedTextEdit::setLogText(const QString &fileName, const QString &text)
{
    setPlainText(text);
    document()->setMetaInformation(QTextDocument::DocumentTitle, fileName);
}

void VisualizedTextEdit::setId(unsigned id)
{
    setProperty("id", id);
}

void VisualizedTextEdit::moveCursorToEnd()
{
    moveCursor(QTextCursor::End);
}

void VisualizedTextEdit::setVisualizedTextAreaWidth(int width)
{
    visualizedAreaWidth = width;
}

void VisualizedTextEdit::setVisualizedTextAreaEnabled(bool on)
{
    visualizedAreaWidth = on ? ApplicationSettings::instance().visualizedAreaWidth() : 0;
}

int VisualizedTextEdit::lineNumberAreaWidth() const
{
    return 0;
}

void VisualizedTextEdit::lineNumberAreaPaintEvent(QPaintEvent *) {}
void VisualizedTextEdit::visualizedTextAreaPaintEvent(QPaintEvent *) {}
QStringList VisualizedTextEdit::visibleLineTexts(const QRect &) const
{
    return {};
}
bool VisualizedTextEdit::isReceivedLine(const QString &)
{
    return false;
}
QString VisualizedTextEdit::dataContext() const
{
    return {};
}
void VisualizedTextEdit::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    emit activated();
}
void VisualizedTextEdit::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
}
void VisualizedTextEdit::updateMargins(int) {}
void VisualizedTextEdit::highlightCurrentLine() {}
void VisualizedTextEdit::updateLineNumberArea(const QRect &, int) {}
void VisualizedTextEdit::paintVisualizedTextArea() {}
