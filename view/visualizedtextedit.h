// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "view/logviewwidget.h"
#include "telegram/linedetails.h"

#include <QPalette>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

class DocumentLineSource;
class ErrorMarkArea;
class LineNumberArea;
class LogViewController;
class VisualizedTextArea;

// The ordinary log view of one panel, an editable document: line numbers at the left, decoded
// telegrams at the right. What it does beyond showing and editing text is the behaviour every
// log view shares (`controller()`).
class VisualizedTextEdit : public QPlainTextEdit, public LogViewWidget
{
    Q_OBJECT

public:
    explicit VisualizedTextEdit(QWidget *parent = nullptr);
    ~VisualizedTextEdit() override;

    QWidget *widget() override { return this; }
    LogViewController *controller() const override { return logView; }

    void setLogText(const QString &fileName, const QString &text);
    // Adds text a followed file gained at the end; the view stays at the end when the caret was
    // on the last line, else where the reader is.
    void appendLogText(const QString &text);
    // Actions the context menu offers after the standard ones.
    void setExtraContextActions(const QList<QAction *> &actions) override
    {
        extraActions = actions;
    }
    void moveCursorToEnd() override;

    void setVisualizedTextAreaWidth(int width) override;
    int visualizedTextAreaWidth() const override { return visualizedAreaWidth; }
    int lineNumberAreaWidth() const override;
    int shownStripWidth() const override;
    static constexpr int minimumTextWidth = 100;

    void lineNumberAreaPaintEvent(QPaintEvent *event);
    void visualizedTextAreaPaintEvent(QPaintEvent *event);
    void errorMarkAreaPaintEvent(QPaintEvent *event);

    // The lines on screen within `rect` of the viewport's height, top to bottom.
    QVector<VisibleRow> visibleRows(const QRect &rect) const;

    QWidget *lineNumberWidget() const override;
    QWidget *visualizedTextWidget() const override;
    QWidget *errorMarkWidget() const override;
    void setErrorMarksShown(bool shown) override;
    QRect caretRect() const override { return cursorRect(); }

    TextPosition anchorPosition() const override;
    TextPosition caretPosition() const override;
    void select(const TextPosition &anchor, const TextPosition &caret, bool reveal) override;
    void scrollToLine(qint64 line) override;
    int visibleLineCount() const override;
    int viewportHeight() const override { return viewport()->height(); }
    int lineHeight() const override;
    QVector<VisibleRow> visibleRows() const override { return visibleRows(viewport()->rect()); }
    void setFoundPalette(bool found) override;
    void selectedLineChanged() override;

signals:
    void forceVisualizedTextAreaToBePainted();
    // The user changed the text (typing, pasting, undo); loading and appending do not count.
    void textEditedByUser();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void updateMargins(int newBlockCount);
    void updateLineNumberArea(const QRect &rect, int dy);
    void paintVisualizedTextArea();

private:
    // The side areas forward presses and wheel turns to the protected handlers.
    friend class CustomAreaWidget;

    int gutterWidthFor(int blockCount) const;
    void applyMargins(int gutterWidth);
    void placeAreas();
    int positionOf(const TextPosition &at) const;
    int errorMarkColumnWidth() const;

    LineNumberArea *lineNumberArea;
    VisualizedTextArea *visualizedTextArea;
    ErrorMarkArea *errorMarkArea;
    DocumentLineSource *lines;
    LogViewController *logView;
    int visualizedAreaWidth = 0;
    QPalette normalPalette;
    QPalette foundPalette;
    bool loadingText = false;  // margins wait while setLogText replaces the document
    bool changingText = false; // the program, not the user, changes the text
    QList<QAction *> extraActions;
};
