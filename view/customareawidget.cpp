// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/customareawidget.h"

#include "logview/logviewcontroller.h"
#include "settings/applicationsettings.h"
#include "view/errormarkarea.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

#include <QMouseEvent>
#include <QWheelEvent>

CustomAreaWidget::CustomAreaWidget(VisualizedTextEdit *textEdit)
    : QWidget(textEdit), textEdit(textEdit)
{
    setFont(ApplicationSettings::textFont());
    // Both areas paint every pixel they are asked for: nothing behind them needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CustomAreaWidget::~CustomAreaWidget() = default;

void CustomAreaWidget::mousePressEvent(QMouseEvent *event)
{
    // Both areas start at the viewport's top edge, so x 0 at the same height is the start of
    // the text line drawn beside the press.
    const QPoint at(0, event->pos().y());
    QMouseEvent forwarded(event->type(), at, mapToGlobal(at), event->button(), event->buttons(),
                          event->modifiers());
    textEdit->mousePressEvent(&forwarded);
}

void CustomAreaWidget::wheelEvent(QWheelEvent *event)
{
    textEdit->wheelEvent(event);
}

void LineNumberArea::paintEvent(QPaintEvent *event)
{
    textEdit->lineNumberAreaPaintEvent(event);
}

void VisualizedTextArea::paintEvent(QPaintEvent *event)
{
    textEdit->visualizedTextAreaPaintEvent(event);
}

void ErrorMarkArea::paintEvent(QPaintEvent *event)
{
    textEdit->errorMarkAreaPaintEvent(event);
}

void ErrorMarkArea::mousePressEvent(QMouseEvent *event)
{
    textEdit->setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton)
        textEdit->controller()->pressMarkColumn(event->pos().y(), height());
}
