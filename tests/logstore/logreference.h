// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logstore/logstore.h"

#include "tests/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>

// What the ordinary view shows for a file: its text set as plain text of a document.
inline std::unique_ptr<QTextDocument> referenceDocument(const QString &path)
{
    auto document = std::make_unique<QTextDocument>();
    document->setPlainText(testsupport::referenceText(path));
    return document;
}

// Opens `path` in `store` and waits until the indexing pass is done.
inline bool openAndWait(LogStore &store, const QString &path, int timeoutMs = 60000)
{
    QSignalSpy finished(&store, &LogStore::finished);
    if (!store.open(path))
        return false;
    return finished.count() > 0 || finished.wait(timeoutMs);
}

// Writes a numbered log file into `dir`; its path, or empty when writing failed.
class LogFiles
{
public:
    QString write(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("log%1.txt").arg(++count));
        return testsupport::writeFile(path, bytes) ? path : QString();
    }
    bool isValid() const { return dir.isValid(); }

private:
    QTemporaryDir dir;
    int count = 0;
};
