#include "view/visualizedtextedit.h"

#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "telegram/safetyfaults.h"
#include "ui/telvane.h"
#include "view/lineicons.h"
#include "view/visualizedtextarea.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>

namespace
{
const QColor selectedRowColor = QColor(Qt::yellow).lighter(160);

const QString dataContextSeparator = QStringLiteral(
    "\n------------------------------ Data context ------------------------------\n");

// Blanks under the icon of a row, shared by every view; it only ever grows.
QString &iconSpacer()
{
    static QString spacer(QLatin1Char(' '));
    return spacer;
}

bool isSafetyFaultMode()
{
    // Unit tests run the view without a main window: that is the normal mode.
    const Telvane *mainWindow = Telvane::instance();
    return mainWindow && mainWindow->safetyFaultMode;
}

bool isReceivedDataBlock(const QTextBlock &block, QString *data)
{
    if (!block.isValid())
        return false;
    const QString text = block.text();
    if (!VisualizedTextEdit::isReceivedLine(text))
        return false;
    TelegramRecord record = parseTelegramLine(text);
    if (record.type != Data)
        return false;
    *data = record.data;
    return true;
}
} // namespace

bool VisualizedTextEdit::isReceivedLine(const QString &line)
{
    return line.contains(QLatin1String("eceived")) || line.contains(QLatin1String("ecieved"));
}

QStringList VisualizedTextEdit::visibleLineTexts(const QRect &rect) const
{
    QStringList lines;
    QTextBlock block = firstVisibleBlock();
    int top = int(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + int(blockBoundingRect(block).height());
    while (block.isValid() && top <= rect.bottom()) {
        if (block.isVisible() && bottom >= rect.top())
            lines << block.text();
        block = block.next();
        top = bottom;
        bottom = top + int(blockBoundingRect(block).height());
    }
    return lines;
}

QString VisualizedTextEdit::dataContext() const
{
    QString context;
    int count = 0;
    QString data;
    const QTextBlock selected = document()->findBlockByNumber(selectedLine);
    for (QTextBlock block = selected; isReceivedDataBlock(block, &data); block = block.previous()) {
        context.prepend(data);
        ++count;
    }
    if (selected.isValid()) {
        for (QTextBlock block = selected.next(); isReceivedDataBlock(block, &data);
             block = block.next()) {
            context.append(data);
            ++count;
        }
    }
    return count != 1 ? context : QString();
}

void VisualizedTextEdit::visualizedTextAreaPaintEvent(QPaintEvent *)
{
    QWidget *area = visualizedTextArea;
    // The whole strip, not just the exposed part, so that records pair with screen rows.
    const QStringList lines = visibleLineTexts(area->rect());

    QPainter painter(area);
    painter.setFont(font());
    painter.setPen(Qt::black);
    const int areaWidth = area->width();
    painter.fillRect(area->rect(), Qt::lightGray);
    painter.drawLine(0, area->y(), 0, area->height());

    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = metrics.height();
    QTextBlock block = firstVisibleBlock();
    int n = block.blockNumber();
    int top = int(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + int(blockBoundingRect(block).height());
    const auto advance = [&] {
        block = block.next();
        top = bottom;
        bottom = top + int(blockBoundingRect(block).height());
        ++n;
    };

    QString detailsText;

    if (isSafetyFaultMode()) {
        const SafetyFaultTexts faults = decodeSafetyFaults(lines, selectedLine - n);
        for (const QString &text : faults.texts) {
            if (selectedLine == n)
                painter.fillRect(1, top, areaWidth - 1, bottom - top, selectedRowColor);
            if (!text.isEmpty())
                painter.drawText(4, top, areaWidth, lineHeight, Qt::AlignLeft, text);
            advance();
        }
        if (lineSelectionChanged) {
            detailsText = faults.details.isEmpty()
                              ? QStringLiteral("Line %1:").arg(selectedLine + 1)
                              : QStringLiteral("Line %1: %2")
                                    .arg(QString::number(selectedLine + 1), faults.details);
            emit visualizeLineSelected(detailsText);
            lineSelectionChanged = false;
        }
        return;
    }

    const QVector<TelegramRecord> records = parseTelegramLines(lines);
    bool selectedIsData = false;
    for (int i = 0; i < records.size(); ++i) {
        const TelegramRecord &record = records.at(i);
        const bool selected = selectedLine == n;
        if (selected)
            painter.fillRect(1, top, areaWidth - 1, bottom - top, selectedRowColor);

        QString rowText;
        QString detailsPart;
        if (record.type != NoTelegram) {
            const RecordText text = recordText(record);
            const QPixmap &icon = iconForLineType(record.type, selected);
            rowText = text.head;
            if (!icon.isNull()) {
                const int iconX = metrics.horizontalAdvance(rowText);
                QString &spacer = iconSpacer();
                while (metrics.horizontalAdvance(spacer) < icon.width())
                    spacer += QLatin1Char(' ');
                rowText += spacer;
                // Not offset by the text indent: the icon overlaps the last pixels before it.
                painter.drawPixmap(iconX, top, icon);
            }
            rowText += text.tail;
            detailsPart = recordDetails(record, !icon.isNull());
        }

        painter.drawText(4, top, areaWidth, lineHeight, Qt::AlignLeft, rowText);

        if (selected) {
            detailsText = detailsPart.isEmpty()
                              ? QStringLiteral("Line %1: %2")
                                    .arg(QString::number(selectedLine + 1), currentLineText)
                              : QStringLiteral("Line %1 data: %2")
                                    .arg(QString::number(selectedLine + 1), detailsPart);
            selectedIsData = i < lines.size() && isReceivedLine(lines.at(i)) && record.type == Data;
        }
        advance();
    }

    if (lineSelectionChanged) {
        if (selectedIsData) {
            const QString context = dataContext();
            if (!context.isEmpty())
                detailsText += dataContextSeparator + context;
        }
        emit visualizeLineSelected(detailsText);
        lineSelectionChanged = false;
    }
}
