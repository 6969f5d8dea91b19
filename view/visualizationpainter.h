// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logview/errormarks.h"
#include "logview/logviewport.h"
#include "telegram/linedetails.h"

#include <QStringList>
#include <QVector>

class QFont;
class QPaintEvent;
class QWidget;

// The height of a line of text in `font` as a text layout gives it: ascent and descent rounded
// up. QFontMetrics::height() rounds them to the nearest pixel, and Qt 6's metrics can be
// fractional.
int textLineHeight(const QFont &font);

// The gutter: background, right border and the 1-based numbers of `rows`.
void paintLineNumbers(QWidget *gutter, const QPaintEvent *event, int gutterWidth, int lineHeight,
                      const QVector<VisibleRow> &rows);

// The strip beside the text: for each of `rows` (whose texts are `lines`) the decoded summary
// with its icon, or the fault text in fault mode; the row of `selectedLine` is marked.
void paintVisualization(QWidget *area, const QFont &font, int lineHeight,
                        const QVector<VisibleRow> &rows, const QStringList &lines,
                        qint64 selectedLine,
                        const DecodeMode &mode);

// The column of error marks: for each pixel row a quieter mark where it stands for a tagged line,
// over it a red one where it stands for an error line.
void paintErrorMarks(QWidget *column, const QVector<MarkRow> &rows);
