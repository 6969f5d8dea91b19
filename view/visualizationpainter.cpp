// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/visualizationpainter.h"

#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "telegram/safetyfaults.h"
#include "view/lineicons.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QTextBlock>
#include <QWidget>
#include <QtMath>
#include <array>
#include <memory>

int textLineHeight(const QFont &font)
{
    return qCeil(QFontMetricsF(font).height());
}

namespace
{
const QColor selectedRowColor = QColor(Qt::yellow).lighter(160);

const QColor gutterBackground(228, 228, 228, 255);
const QColor gutterForeground(128, 128, 128, 255);

const QColor markColumnBackground(240, 240, 240);
const QColor errorMarkColor(214, 24, 24);
const QColor taggedMarkColor(236, 172, 64);
// A mark is this many pixel rows high, centred on its row, so that a single line shows.
constexpr int markHeight = 3;

// Blanks under the icon of a row, shared by every view; it only ever grows.
QString &iconSpacer()
{
    static QString spacer(QLatin1Char(' '));
    return spacer;
}

// The rows are nearly always printable ASCII in a monospace font. Shaping each of them anew
// with QPainter::drawText took most of a repaint, so they are laid out from a table of glyphs
// and advances made once per font; the pixels are the same. Other characters take drawText.
class RowTextPainter
{
public:
    explicit RowTextPainter(const QFont &font)
        : font(font), rawFont(QRawFont::fromFont(font)), metrics(font)
    {
        QString ascii;
        for (ushort c = firstChar; c <= lastChar; ++c)
            ascii += QChar(c);
        const QVector<quint32> indexes = rawFont.glyphIndexesForString(ascii);
        const QVector<QPointF> advances = rawFont.advancesForGlyphIndexes(indexes);
        usable = rawFont.isValid() && indexes.size() == int(glyphs.size()) &&
                 advances.size() == indexes.size();
        for (int i = 0; usable && i < indexes.size(); ++i) {
            glyphs[i] = indexes[i];
            glyphAdvances[i] = advances[i].x();
            usable = indexes[i] != 0; // no glyph: drawText would take a fallback font
        }
    }

    // The painter of the current text font, made again only when the font changes.
    static const RowTextPainter &forFont(const QFont &font)
    {
        if (!cached) {
            // The raw font must go while the application's font machinery still exists.
            qAddPostRoutine([] { cached.reset(); });
        }
        if (!cached || cached->font != font)
            cached = std::make_unique<RowTextPainter>(font);
        return *cached;
    }

    // The text's advance width as QFontMetrics::horizontalAdvance gives it.
    int advance(const QString &text) const
    {
        if (!isPlain(text))
            return metrics.horizontalAdvance(text);
        qreal width = 0;
        for (const QChar c : text)
            width += glyphAdvances[c.unicode() - firstChar];
        return qRound(width);
    }

    // Like QPainter::drawText(x, top, width, height, Qt::AlignLeft, text) for one line.
    void draw(QPainter &painter, int x, int top, int width, int height, const QString &text) const
    {
        if (text.isEmpty())
            return;
        if (!isPlain(text)) {
            painter.drawText(x, top, width, height, Qt::AlignLeft, text);
            return;
        }
        QVector<quint32> indexes;
        QVector<QPointF> positions;
        indexes.reserve(text.size());
        positions.reserve(text.size());
        const qreal baseline = top + metrics.ascent();
        qreal left = x;
        for (const QChar character : text) {
            const int c = character.unicode() - firstChar;
            // Blanks leave no ink; the rows hold many of them under the icons.
            if (character != QLatin1Char(' ')) {
                indexes.append(glyphs[c]);
                positions.append(QPointF(left, baseline));
            }
            left += glyphAdvances[c];
        }
        if (indexes.isEmpty())
            return;
        QGlyphRun run;
        run.setRawFont(rawFont);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }

private:
    static constexpr ushort firstChar = 0x20;
    static constexpr ushort lastChar = 0x7E;

    bool isPlain(const QString &text) const
    {
        if (!usable)
            return false;
        for (const QChar c : text) {
            if (c.unicode() < firstChar || c.unicode() > lastChar)
                return false;
        }
        return true;
    }

    static std::unique_ptr<RowTextPainter> cached;

    QFont font;
    QRawFont rawFont;
    QFontMetrics metrics;
    bool usable = false;
    std::array<quint32, lastChar - firstChar + 1> glyphs{};
    std::array<qreal, lastChar - firstChar + 1> glyphAdvances{};
};

std::unique_ptr<RowTextPainter> RowTextPainter::cached;

} // namespace

void paintLineNumbers(QWidget *gutter, const QPaintEvent *event, int gutterWidth, int lineHeight,
                      const QVector<VisibleRow> &rows)
{
    QPainter painter(gutter);
    painter.fillRect(event->rect(), gutterBackground);
    painter.setPen(gutterForeground);
    painter.drawLine(gutterWidth - 1, gutter->y(), gutterWidth - 1, gutter->height());
    for (const VisibleRow &row : rows) {
        if (row.bottom >= event->rect().top() && row.top <= event->rect().bottom())
            painter.drawText(-5, row.top, gutterWidth, lineHeight, Qt::AlignRight,
                             QString::number(row.line + 1));
    }
}

void paintVisualization(QWidget *area, const QFont &font, int lineHeight,
                        const QVector<VisibleRow> &rows, const QStringList &lines,
                        qint64 selectedLine, const DecodeMode &mode)
{
    QPainter painter(area);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const int areaWidth = area->width();
    painter.fillRect(area->rect(), Qt::lightGray);
    painter.drawLine(0, area->y(), 0, area->height());

    const RowTextPainter &rowPainter = RowTextPainter::forFont(font);
    const qint64 firstLine = rows.isEmpty() ? 0 : rows.first().line;

    if (mode.safetyFaults) {
        const SafetyFaultTexts faults =
            decodeSafetyFaults(lines, int(qBound<qint64>(-1, selectedLine - firstLine, lines.size())),
                               mode.language);
        for (int i = 0; i < rows.size() && i < faults.texts.size(); ++i) {
            const VisibleRow &row = rows.at(i);
            if (selectedLine == row.line)
                painter.fillRect(1, row.top, areaWidth - 1, row.bottom - row.top, selectedRowColor);
            if (!faults.texts.at(i).isEmpty())
                rowPainter.draw(painter, 4, row.top, areaWidth, lineHeight, faults.texts.at(i));
        }
        return;
    }

    const QVector<TelegramRecord> records = parseTelegramLines(lines);
    for (int i = 0; i < records.size() && i < rows.size(); ++i) {
        const TelegramRecord &record = records.at(i);
        const VisibleRow &row = rows.at(i);
        const bool selected = selectedLine == row.line;
        if (selected)
            painter.fillRect(1, row.top, areaWidth - 1, row.bottom - row.top, selectedRowColor);
        if (record.type == NoTelegram)
            continue;

        const RecordText text = recordText(record);
        const QPixmap &icon = iconForLineType(record.type, selected);
        QString rowText = text.head;
        if (!icon.isNull()) {
            const int iconX = rowPainter.advance(rowText);
            QString &spacer = iconSpacer();
            while (rowPainter.advance(spacer) < icon.width())
                spacer += QLatin1Char(' ');
            rowText += spacer;
            // Not offset by the text indent: the icon overlaps the last pixels before it.
            painter.drawPixmap(iconX, row.top, icon);
        }
        rowText += text.tail;
        rowPainter.draw(painter, 4, row.top, areaWidth, lineHeight, rowText);
    }
}

void paintErrorMarks(QWidget *column, const QVector<MarkRow> &rows)
{
    QPainter painter(column);
    painter.fillRect(column->rect(), markColumnBackground);
    const int width = column->width();
    const int above = markHeight / 2;
    for (int y = 0; y < rows.size(); ++y) {
        if (rows.at(y).tagged >= 0)
            painter.fillRect(2, y - above, width - 4, markHeight, taggedMarkColor);
    }
    for (int y = 0; y < rows.size(); ++y) {
        if (rows.at(y).error >= 0)
            painter.fillRect(0, y - above, width, markHeight, errorMarkColor);
    }
}
