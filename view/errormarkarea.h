// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "view/customareawidget.h"

// The ordinary view's column of error marks; a press selects the line marked there.
class ErrorMarkArea : public CustomAreaWidget
{
    Q_OBJECT

public:
    using CustomAreaWidget::CustomAreaWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
