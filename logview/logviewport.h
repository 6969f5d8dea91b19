// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/textposition.h"

#include <QVector>

// One text line on screen: its 0-based number and its pixel rows in the side areas.
struct VisibleRow {
    qint64 line;
    int top;
    int bottom;
};

// What the widget of a log view does for the behaviour that drives it: it shows a selection and
// a selected line, scrolls, and tells which lines are on screen. The two widgets differ only in
// how: one lays out a document, the other reads the lines of a file store.
class LogViewport
{
public:
    virtual ~LogViewport() = default;

    virtual TextPosition anchorPosition() const = 0;
    virtual TextPosition caretPosition() const = 0;
    // Selects from `anchor` to `caret`; with `reveal` the caret is scrolled into view, as
    // anything that moves the caret does but Select All.
    virtual void select(const TextPosition &anchor, const TextPosition &caret, bool reveal) = 0;
    // Scrolls so that `line` is the first on screen, as far as the scroll range goes.
    virtual void scrollToLine(qint64 line) = 0;
    // The lines that fit on screen whole.
    virtual int visibleLineCount() const = 0;
    // The height of the text area and of one line in it, in pixels.
    virtual int viewportHeight() const = 0;
    virtual int lineHeight() const = 0;
    // The rows of the lines that are on screen, partly or whole, top to bottom.
    virtual QVector<VisibleRow> visibleRows() const = 0;
    // A match shows white on red while the view has no focus, until the user clicks the view.
    virtual void setFoundPalette(bool found) = 0;
    // The selected line changed: its highlight and the side areas show it.
    virtual void selectedLineChanged() = 0;
};
