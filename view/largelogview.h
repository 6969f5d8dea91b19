// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/linedetails.h"
#include "view/logviewwidget.h"

#include <QAbstractScrollArea>
#include <QPalette>
#include <QString>

class LineSource;
class LogStore;
class LogViewController;
class QMenu;

// The read-only view of a log too large for the ordinary view: the file is indexed in the
// background, and only the lines on screen are read and laid out (of a very long line only the
// part on screen). It lays out, scrolls and takes keys and the mouse as the ordinary view does;
// its behaviour is the one every log view shares (`controller()`).
class LargeLogView : public QAbstractScrollArea, public LogViewWidget
{
    Q_OBJECT

public:
    explicit LargeLogView(QWidget *parent = nullptr);
    ~LargeLogView() override;

    QWidget *widget() override { return this; }
    LogViewController *controller() const override { return logView; }
    const LogStore &store() const { return *logStore; }
    // Shows the lines of `source` instead of a file; openLog() goes back to the file store.
    void setSource(LineSource *source);
    LineSource *source() const { return lines; }

    // Starts indexing `fileName`; false when it is not a readable regular file (the view then
    // shows one empty line). A `title` names the log in place of the file (LogStore::setTitle).
    bool openLog(const QString &fileName, const QString &title = QString());
    // Takes in what a followed file gained: the new lines are indexed, and the view stays at
    // the end when the caret was on the last line. A file that shrank or was replaced is read
    // anew.
    void followGrowth();
    void setExtraContextActions(const QList<QAction *> &actions) override
    {
        extraActions = actions;
    }
    QString fileName() const;
    bool isIndexing() const;
    int indexProgress() const { return progressPercent; }

    // Moves the caret to the end; while indexing runs, to the end as it is when indexing ends.
    void moveCursorToEnd() override;
    void setVisualizedTextAreaWidth(int width) override;
    int visualizedTextAreaWidth() const override { return stripWidth; }
    int shownStripWidth() const override;
    int lineNumberAreaWidth() const override;
    int lineHeight() const override;
    qint64 firstVisibleLine() const;
    bool hasSelection() const { return anchor != caret; }
    QWidget *lineNumberWidget() const override { return gutter; }
    QWidget *visualizedTextWidget() const override { return strip; }
    QWidget *errorMarkWidget() const override { return marks; }
    void setErrorMarksShown(bool shown) override;
    QRect caretRect() const override;

    TextPosition anchorPosition() const override { return anchor; }
    TextPosition caretPosition() const override { return caret; }
    void select(const TextPosition &anchorAt, const TextPosition &caretAt, bool reveal) override;
    void scrollToLine(qint64 line) override;
    int visibleLineCount() const override;
    int viewportHeight() const override { return viewport()->height(); }
    QVector<VisibleRow> visibleRows() const override;
    void setFoundPalette(bool found) override;
    void selectedLineChanged() override;

signals:
    // The indexed text holds "[Comm]": the panel switches the strip on.
    void telegramLogDetected();
    void indexingProgress(int percent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class LargeLogSideArea;
    class Layout;

    void onLinesIndexed();
    void onIndexingFinished();
    void updateGeometries();
    void updateScrollBars();
    void paintGutter(QPaintEvent *event);
    void paintStrip();
    void paintMarks();
    int errorMarkColumnWidth() const;
    int topOffset(qint64 firstLine) const;
    int rowHeight(qint64 line) const;
    qint64 lastFirstLine() const;
    qreal charWidth() const;
    // The layout of a line on screen; `text`, when given, is the line's whole text (a short
    // line's).
    Layout layoutOf(qint64 line, const QString &text = QString()) const;
    QString lineSlice(qint64 line, int column, int count) const;
    int lineLength(qint64 line) const;
    TextPosition positionAt(const QPoint &point) const;
    TextPosition stepLeft(const TextPosition &at) const;
    TextPosition stepRight(const TextPosition &at) const;
    TextPosition atX(qint64 line, qreal x) const;
    qreal xOf(const TextPosition &at) const;
    void moveCaret(const TextPosition &to, bool keepAnchor, bool keepX = false);
    void ensureCaretVisible();
    // Sideways, a caret out of view is centred.
    void revealCaretSideways();
    void pageUpDown(bool down, bool keepAnchor);
    QVector<VisibleRow> rowsWithin(int height) const;

    LogStore *logStore;
    LineSource *lines = nullptr;
    LogViewController *logView;
    QWidget *gutter;
    QWidget *strip;
    QWidget *marks;
    QMenu *contextMenu = nullptr;
    TextPosition caret;
    TextPosition anchor;
    bool endPending = false;
    bool markerSeen = false;
    int stripWidth = 0;
    int progressPercent = 100;
    int gutterDigits = 1;
    qreal preferredX = -1; // the caret's x kept over up and down moves
    // The caret's row on screen kept over consecutive page moves.
    qreal pageY = 0;
    bool pageYValid = false;
    QPalette normalPalette;
    QPalette foundPalette;
    QList<QAction *> extraActions;
};
