// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "telegram/logparser.h"
#include "telegram/recordtext.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace testsupport
{

// Writes `content` to `path`; true when all of it was written.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// What the ordinary view reads from a file: text mode, through a text stream.
inline QString referenceText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text) ? QTextStream(&file).readAll()
                                                            : QString();
}

// Lets closed panels, which are deleted later, go now.
inline void deleteClosed()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Closes a window from inside a running event loop, as a user would; closing ends that loop.
template <typename Window> bool closeInEventLoop(Window &window)
{
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    return QCoreApplication::exec() == 0;
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

// What a finished program gave; exitCode is -1 when it did not start or finish, -2 on a crash.
struct ProcessRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `program` with `input` on its standard input and waits up to a minute for it.
inline ProcessRun runProcess(const QString &program, const QStringList &arguments,
                             const QByteArray &input = QByteArray())
{
    QProcess process;
    process.start(program, arguments);
    ProcessRun run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The command-line decoder of the build under test.
inline QString decoderPath()
{
    return qEnvironmentVariable("TELVANE_BINARY_DIR") + QStringLiteral("/bin/telvane-decode");
}

inline ProcessRun runDecoder(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    return runProcess(decoderPath(), arguments, input);
}

// What telvane-decode must print for a log: every record of one parseTelegramLines call over
// its lines, the way the viewer reads the file (CR dropped, UTF-8, split at LF).
inline QByteArray listDecoderOutput(const QByteArray &log)
{
    QByteArray text = log;
    text.replace('\r', QByteArray());
    // Like the viewer's text stream, and unlike fromUtf8(QByteArray), go on past NUL bytes.
    const QStringList lines =
        QString::fromUtf8(text.constData(), text.size()).split(QLatin1Char('\n'));
    const QVector<TelegramRecord> records = parseTelegramLines(lines);
    QByteArray out;
    for (int i = 0; i < records.size(); ++i) {
        if (records[i].type != NoTelegram)
            out += "Line " + QByteArray::number(i + 1) +
                   " data: " + recordDetails(records[i], true).toUtf8() + '\n';
    }
    return out;
}

// Records of an RFC 4180 text: quoted fields may hold commas, quotes and line breaks.
inline QVector<QStringList> parseCsv(const QString &text)
{
    QVector<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text.at(i + 1) == '"') {
                field += c;
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            fields << field;
            records << fields;
            fields.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !fields.isEmpty())
        records << (fields << field);
    return records;
}

} // namespace testsupport
