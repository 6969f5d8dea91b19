// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logview/logviewport.h"

#include <QList>
#include <QRect>

class LogViewController;
class QAction;
class QWidget;

// What a panel needs of its log view, whichever of the two shows the log: the widget, its
// behaviour, the strip's width and the end of the log.
class LogViewWidget : public LogViewport
{
public:
    virtual QWidget *widget() = 0;
    virtual LogViewController *controller() const = 0;
    virtual void setVisualizedTextAreaWidth(int width) = 0;
    virtual int visualizedTextAreaWidth() const = 0;
    // The strip's width on screen: the set width, narrowed so that some text stays visible.
    virtual int shownStripWidth() const = 0;
    virtual int lineNumberAreaWidth() const = 0;
    // Actions the context menu offers after its own.
    virtual void setExtraContextActions(const QList<QAction *> &actions) = 0;
    virtual void moveCursorToEnd() = 0;
    // The caret in viewport coordinates.
    virtual QRect caretRect() const = 0;
    // The side areas: line numbers at the left, decoded telegrams at the right.
    virtual QWidget *lineNumberWidget() const = 0;
    virtual QWidget *visualizedTextWidget() const = 0;
    // The column of error marks between the strip and the vertical scroll bar, as high as the
    // text; shown unless switched off (the safety-fault view), when it takes no room and no
    // pass reads the log for it.
    virtual QWidget *errorMarkWidget() const = 0;
    virtual void setErrorMarksShown(bool shown) = 0;
    static constexpr int errorMarkWidth = 8;
};
