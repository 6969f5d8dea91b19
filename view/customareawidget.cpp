#include "view/customareawidget.h"

#include "app/applicationsettings.h"
#include "view/linenumberarea.h"
#include "view/visualizedtextarea.h"
#include "view/visualizedtextedit.h"

// Placeholder until the log view is built.
CustomAreaWidget::CustomAreaWidget(VisualizedTextEdit *textEdit)
    : QWidget(textEdit), textEdit(textEdit)
{
    setFont(ApplicationSettings::textFont());
}

CustomAreaWidget::~CustomAreaWidget() = default;

void CustomAreaWidget::mousePressEvent(QMouseEvent *) {}
void CustomAreaWidget::wheelEvent(QWheelEvent *) {}

void LineNumberArea::paintEvent(QPaintEvent *event)
{
    textEdit->lineNumberAreaPaintEvent(event);
}

void VisualizedTextArea::paintEvent(QPaintEvent *event)
{
    textEdit->visualizedTextAreaPaintEvent(event);
}
