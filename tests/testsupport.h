#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

namespace testsupport
{

// Runs `write` with standard error redirected into a file and returns what it wrote.
template <typename Write> QByteArray captureStandardError(Write write)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    write();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

// Writes `content` to `path`; true when all of it was written.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Points the temp folder, and with it the panels' log folder, at `root`, so that a test never
// touches the real one, also when it runs outside CTest.
inline bool useTempFolder(const QTemporaryDir &root)
{
    if (!root.isValid())
        return false;
    qputenv("TMPDIR", QFile::encodeName(root.path()));
    return true;
}

} // namespace testsupport
