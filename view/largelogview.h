#pragma once

#include "telegram/linedetails.h"
#include "view/visualizationpainter.h"

#include <QAbstractScrollArea>
#include <QPalette>
#include <QString>
#include <memory>

class Finding;
class LogFindAll;
class LogStore;
class QMenu;
class QTextLayout;
class SearchOptions;
class SearchState;
struct LogFinding;
struct FoundBatch;

// A place in a log: a 0-based line and a column in UTF-16 units.
struct TextPosition {
    qint64 line = 0;
    int column = 0;
    bool operator==(const TextPosition &other) const
    {
        return line == other.line && column == other.column;
    }
    bool operator!=(const TextPosition &other) const { return !(*this == other); }
    bool operator<(const TextPosition &other) const
    {
        return line < other.line || (line == other.line && column < other.column);
    }
};

// The read-only view of a log too large for the ordinary view: the file is indexed in the
// background, and only the lines on screen are read and laid out (of a very long line only
// the part on screen). It has the ordinary view's gutter, decoded strip, current-line
// highlight, details, search and find-all, with the same texts, matches and line numbers.
class LargeLogView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit LargeLogView(QWidget *parent = nullptr);
    ~LargeLogView() override;

    void setDecodeMode(const DecodeMode &mode) { decodeMode = mode; }
    void setId(unsigned id);

    // Starts indexing `fileName`; false when it is not a readable regular file (the view then
    // shows one empty line).
    bool openLog(const QString &fileName);
    void closeLog();
    // Takes in what a followed file gained: the new lines are indexed, and the view stays at
    // the end when the caret was on the last line. A file that shrank or was replaced is read
    // anew.
    void followGrowth();
    void setExtraContextActions(const QList<QAction *> &actions) { extraActions = actions; }
    QString fileName() const;
    const LogStore &store() const { return *logStore; }
    bool isIndexing() const;
    int indexProgress() const { return progressPercent; }

    // Moves the caret to the end; while indexing runs, to the end as it is when indexing ends.
    void moveCursorToEnd();
    void setVisualizedTextAreaWidth(int width);
    void setVisualizedTextAreaEnabled(bool on, int storedWidth);
    int visualizedTextAreaWidth() const { return stripWidth; }
    int shownStripWidth() const;
    int lineNumberAreaWidth() const;

    TextPosition caretPosition() const { return caret; }
    TextPosition anchorPosition() const { return anchor; }
    void setSelection(const TextPosition &anchorAt, const TextPosition &caretAt);
    bool hasSelection() const { return anchor != caret; }
    QString selectedText() const;
    qint64 firstVisibleLine() const;
    int visibleLineCount() const;
    int lineHeight() const;
    SearchState *searchStateObject() const { return searchState; }
    QWidget *lineNumberWidget() const { return gutter; }
    QWidget *visualizedTextWidget() const { return strip; }

    void search(const SearchOptions &options);

signals:
    void visualizeLineSelected(QString details);
    void activated();
    void searchFinished(bool found);
    void start(QString fileName, QString searchText);
    void found(const Finding &finding);
    // The matches of a find-all as values, in batches, as they are found; a row reads its
    // line's text when it is shown.
    void foundBatch(const FoundBatch &batch);
    void findAllProgress(int percent);
    void end(int count);
    // The indexed text holds "[Comm]": the panel switches the strip on.
    void telegramLogDetected();
    void indexingProgress(int percent);

public slots:
    void findAll(QString keyword, Qt::CaseSensitivity caseSensivity);
    void cancelFindAll();
    void goTo(const Finding &finding);
    void selectAll();
    void copy();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class LargeLogSideArea;
    class Layout;

    void onLinesIndexed();
    void onIndexingFinished();
    void onFound(const QVector<LogFinding> &findings);
    void updateGeometries();
    void updateScrollBars();
    void paintGutter(QPaintEvent *event);
    void paintStrip();
    QVector<VisibleRow> visibleRows() const;
    QStringList shownTexts(const QVector<VisibleRow> &rows) const;
    QString lineText(qint64 line) const;
    int lineLength(qint64 line) const;
    TextPosition endPosition() const;
    TextPosition positionAt(const QPoint &point) const;
    TextPosition stepLeft(const TextPosition &at) const;
    TextPosition stepRight(const TextPosition &at) const;
    void moveCaret(const TextPosition &to, bool keepAnchor);
    void ensureCaretVisible();
    void caretLineChanged();
    void emitSelectedLineDetails();

    LogStore *logStore;
    LogFindAll *finder;
    SearchState *searchState;
    QWidget *gutter;
    QWidget *strip;
    QMenu *contextMenu = nullptr;
    DecodeMode decodeMode;
    TextPosition caret;
    TextPosition anchor;
    qint64 detailsLine = -2; // the line whose details were announced last
    bool detailsScheduled = false;
    bool endPending = false;
    bool markerSeen = false;
    int stripWidth = 0;
    int progressPercent = 100;
    int findAllCount = 0;
    int preferredX = -1; // the caret's x kept over up and down moves
    QPalette normalPalette;
    QPalette foundPalette;
    mutable qint64 cachedFirst = -1;
    mutable qint64 cachedCount = -1;
    mutable QStringList cachedTexts;
    QList<QAction *> extraActions;
};
