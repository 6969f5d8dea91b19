#include "view/visualizedtextedit.h"

#include "telegram/logparser.h"
#include "telegram/recordtext.h"
#include "telegram/safetyfaults.h"
#include "ui/telvane.h"
#include "view/lineicons.h"
#include "view/visualizedtextarea.h"

#include <QCoreApplication>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QTextBlock>
#include <array>
#include <memory>

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

    const RowTextPainter &rowPainter = RowTextPainter::forFont(font());
    const int lineHeight = fontMetrics().height();
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
                rowPainter.draw(painter, 4, top, areaWidth, lineHeight, text);
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
                const int iconX = rowPainter.advance(rowText);
                QString &spacer = iconSpacer();
                while (rowPainter.advance(spacer) < icon.width())
                    spacer += QLatin1Char(' ');
                rowText += spacer;
                // Not offset by the text indent: the icon overlaps the last pixels before it.
                painter.drawPixmap(iconX, top, icon);
            }
            rowText += text.tail;
            // Only the selected row's details are shown.
            if (selected)
                detailsPart = recordDetails(record, !icon.isNull());
        }

        rowPainter.draw(painter, 4, top, areaWidth, lineHeight, rowText);

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
