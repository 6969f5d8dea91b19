#pragma once

#include "logstore/logstore.h"

#include <QFile>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextStream>
#include <memory>

// What the ordinary view shows for a file: read in text mode through a text stream, then set as
// plain text of a document.
inline std::unique_ptr<QTextDocument> referenceDocument(const QString &path)
{
    auto document = std::make_unique<QTextDocument>();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream stream(&file);
        document->setPlainText(stream.readAll());
    }
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
