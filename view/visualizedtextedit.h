#pragma once

#include "telegram/linedetails.h"
#include "view/visualizationpainter.h"

#include <QPalette>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

class Finding;
class LineNumberArea;
class QTimer;
class SearchOptions;
class SearchState;
class VisualizedTextArea;

// The log view of one panel: line numbers at the left, decoded telegrams at the right.
class VisualizedTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit VisualizedTextEdit(QWidget *parent = nullptr);
    ~VisualizedTextEdit() override;

    void setLogText(const QString &fileName, const QString &text);
    // Adds text a followed file gained at the end; the view stays at the end when the caret was
    // on the last line, else where the reader is.
    void appendLogText(const QString &text);
    // Actions the context menu offers after the standard ones.
    void setExtraContextActions(const QList<QAction *> &actions) { extraActions = actions; }
    void setId(unsigned id);
    void moveCursorToEnd();

    void setVisualizedTextAreaWidth(int width);
    void setVisualizedTextAreaEnabled(bool on);
    int visualizedTextAreaWidth() const { return visualizedAreaWidth; }
    int lineNumberAreaWidth() const;
    // The strip's width on screen: the set width, narrowed so that some text stays visible.
    int shownStripWidth(int gutterWidth) const;
    static constexpr int minimumTextWidth = 100;

    void lineNumberAreaPaintEvent(QPaintEvent *event);
    void visualizedTextAreaPaintEvent(QPaintEvent *event);

    // Fixed for the whole run; set by the panel right after construction.
    void setDecodeMode(const DecodeMode &mode) { decodeMode = mode; }

    // The lines on screen within `rect` of the viewport's height, top to bottom.
    QVector<VisibleRow> visibleRows(const QRect &rect) const;
    QStringList visibleLineTexts(const QRect &rect) const;

    // Search engine
    void search(const SearchOptions &options);

    int selectedLineNumber() const { return selectedLine; }
    SearchState *searchStateObject() const { return searchState; }
    LineNumberArea *lineNumberWidget() const { return lineNumberArea; }
    VisualizedTextArea *visualizedTextWidget() const { return visualizedTextArea; }

signals:
    void forceVisualizedTextAreaToBePainted();
    void visualizeLineSelected(QString details);
    void activated();
    void searchFinished(bool found);
    void start(QString fileName, QString searchText);
    void found(const Finding &finding);
    void end(int count);
    // The user changed the text (typing, pasting, undo); loading and appending do not count.
    void textEditedByUser();

public slots:
    void findAll(QString keyword, Qt::CaseSensitivity caseSensivity);
    void goTo(const Finding &finding);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private slots:
    void updateMargins(int newBlockCount);
    void highlightCurrentLine();
    void updateLineNumberArea(const QRect &rect, int dy);
    void paintVisualizedTextArea();
    void emitSelectedLineDetails();

private:
    // The side areas forward presses and wheel turns to the protected handlers.
    friend class CustomAreaWidget;

    int gutterWidthFor(int blockCount) const;
    void applyMargins(int gutterWidth);
    void placeAreas();
    void scheduleLineDetails();
    const QString &searchedText();
    void followTextChange(int position, int removed, int added);

    LineNumberArea *lineNumberArea;
    VisualizedTextArea *visualizedTextArea;
    int selectedLine;
    QString currentLineText;
    int visualizedAreaWidth;
    SearchState *searchState;
    bool lineSelectionChanged;
    QPalette normalPalette;
    QPalette foundPalette;
    bool loadingText = false; // margins wait while setLogText replaces the document
    bool detailsScheduled = false;
    bool changingText = false; // the program, not the user, changes the text
    QList<QAction *> extraActions;
    DecodeMode decodeMode;
    // The document's raw text for searching, kept between steps and extended by appends; let go
    // a while after the last search.
    QString rawText;
    bool rawTextValid = false;
    QTimer *rawTextExpiry;
};
