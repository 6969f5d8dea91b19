// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "view/customareawidget.h"

class VisualizedTextArea : public CustomAreaWidget
{
    Q_OBJECT

public:
    using CustomAreaWidget::CustomAreaWidget;

protected:
    void paintEvent(QPaintEvent *event) override;
};
