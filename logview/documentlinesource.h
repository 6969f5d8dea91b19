// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "searchcore/linesource.h"

#include <QPointer>
#include <QString>

class FindAllScan;
class QTextDocument;
class QTimer;

// The lines of the ordinary view: the blocks of its document, searched as QTextDocument::find
// searches them, with a find-all run from the event loop in slices.
class DocumentLineSource : public LineSource
{
    Q_OBJECT

public:
    DocumentLineSource(QTextDocument *document, QObject *parent);
    ~DocumentLineSource() override;

    QString title() const override;
    qint64 lineCount() const override;
    QString lineText(qint64 line) const override;
    QStringList lineTexts(qint64 first, qint64 count) const override;
    qint64 lineLength(qint64 line) const override;
    qint64 linePosition(qint64 line) const override;
    qint64 lineAtPosition(qint64 position) const override;
    bool containsCommMarker() const override;
    qint64 longestLineLength() const override;

    LineMatch find(const QString &text, Qt::CaseSensitivity sensitivity, bool wholeWords,
                   const TextPosition &from, bool backward, qint64 stopLine = -1) const override;
    void startFindAll(const QString &keyword, Qt::CaseSensitivity sensitivity) override;
    void cancelFindAll() override;

private:
    const QString &searchedText() const;
    void followTextChange(int position, int removed, int added);

    QPointer<QTextDocument> document;
    FindAllScan *scan;
    // The document's raw text for searching, kept between steps and extended by appends; let go
    // a while after the last search.
    mutable QString rawText;
    mutable bool rawTextValid = false;
    QTimer *rawTextExpiry;
};
