// SPDX-License-Identifier: GPL-3.0-or-later
// telvane-decode: prints the decoded telegrams (or safety-option faults) of logs for scripts and
// data tools, or the lines that match a search as the viewer's Find All lists them.
#include "app/decodeoptions.h"
#include "archive/archivereader.h"
#include "searchcore/searchtext.h"
#include "telegram/linedetails.h"
#include "telegram/logdecoder.h"
#include "telegram/telegramtable.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace
{
constexpr size_t flushSize = 1 << 20;

// What the program makes of one log, fed in chunks of any size.
class LogOutput
{
public:
    virtual ~LogOutput() = default;
    virtual void feed(const char *data, qint64 size) = 0;
    virtual void finish() = 0;

    std::string out; // UTF-8 not yet written
    bool found = false;
};

class FaultOutput : public LogOutput
{
public:
    void feed(const char *data, qint64 size) override
    {
        decoder.feed(data, size);
        take();
    }
    void finish() override
    {
        decoder.finish();
        take();
    }

private:
    void take()
    {
        out += decoder.output();
        decoder.output().clear();
    }

    LogDecoder decoder{LogDecodeMode::SafetyFaults};
};

TelegramRowOptions rowOptions(const DecodeOptions &options)
{
    TelegramRowOptions rows;
    rows.dataContext = options.context;
    rows.tableFields = options.format != DecodeOptions::Format::Text;
    return rows;
}

class RowOutput : public LogOutput
{
public:
    RowOutput(const DecodeOptions &options, const QString &file)
        : format(options.format), file(file),
          reader(rowOptions(options), [this](const TelegramRow &row) { write(row); })
    {
    }
    void feed(const char *data, qint64 size) override
    {
        splitter.feed(data, size,
                      [this](const char *line, qint64 length) { reader.addLine(line, length); });
    }
    void finish() override
    {
        splitter.finish([this](const char *line, qint64 length) { reader.addLine(line, length); });
        reader.finish();
    }

private:
    void write(const TelegramRow &row)
    {
        switch (format) {
        case DecodeOptions::Format::Text:
            appendUtf8(out, telegramDetailsLine(row.lineNumber, row.details));
            out += '\n';
            break;
        case DecodeOptions::Format::JsonLines:
            appendUtf8(out, telegramtable::jsonObject(telegramtable::rowFields(file, row)));
            out += '\n';
            break;
        case DecodeOptions::Format::Csv:
            appendUtf8(out, telegramtable::csvRecord(telegramtable::rowFields(file, row)));
            break;
        }
    }

    DecodeOptions::Format format;
    QString file;
    LineSplitter splitter;
    TelegramRowReader reader;
};

// A results-pane row: lines of printable ASCII as they are, others through the local 8-bit
// encoding as the pane passes them.
QString resultRow(qint64 lineNumber, const QString &line)
{
    for (const QChar c : line) {
        if (c.unicode() - 1u >= 0x7Fu)
            return QString::asprintf("Line %lld: %s", lineNumber, line.toLocal8Bit().constData());
    }
    return QStringLiteral("Line ") + QString::number(lineNumber) + QStringLiteral(": ") + line;
}

// Find All: every match of the converted text in each line, left to right without overlaps.
class FindOutput : public LogOutput
{
public:
    explicit FindOutput(const SearchPattern &pattern) : pattern(pattern) {}
    void feed(const char *data, qint64 size) override
    {
        splitter.feed(data, size, [this](const char *line, qint64 length) { scan(line, length); });
    }
    void finish() override
    {
        splitter.finish([this](const char *line, qint64 length) { scan(line, length); });
    }

private:
    void scan(const char *bytes, qint64 length)
    {
        ++lineNumber;
        const QString line = QString::fromUtf8(bytes, int(length));
        const int size = pattern.text.size();
        for (int from = 0; from < line.size();) {
            const int column = line.indexOf(pattern.text, from, pattern.findAllCase);
            if (column < 0)
                break;
            appendUtf8(out, resultRow(lineNumber, line));
            out += '\n';
            found = true;
            from = column + size;
        }
    }

    SearchPattern pattern;
    LineSplitter splitter;
    qint64 lineNumber = 0;
};

enum class Outcome { Done, NotRead, OutputFailed };

bool writeOut(std::string &text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    text.clear();
    return written;
}

// Reports a failed write of standard output; nothing after it can be written.
void outputFailed(int error)
{
    std::fprintf(stderr, "telvane-decode: cannot write output: %s\n", std::strerror(error));
}

std::unique_ptr<LogOutput> makeOutput(const DecodeOptions &options, const std::string &name)
{
    if (options.find)
        return std::make_unique<FindOutput>(searchPattern(searchModeOf(options), options.findText));
    if (options.safetyFaults)
        return std::make_unique<FaultOutput>();
    return std::make_unique<RowOutput>(options, QString::fromLocal8Bit(name.c_str()));
}

// Why a file could not be read, said after the output that came before.
Outcome notRead(const std::string &name, const QString &error)
{
    if (std::fflush(stdout) != 0) {
        outputFailed(errno);
        return Outcome::OutputFailed;
    }
    std::fprintf(stderr, "telvane-decode: cannot read %s: %s\n", name.c_str(),
                 error.toLocal8Bit().constData());
    return Outcome::NotRead;
}

// Unpacks the current entry of `reader` into the output for the log `name`, writing that in
// large blocks.
Outcome decodeEntry(const DecodeOptions &options, ArchiveReader &reader, const std::string &name,
                    bool headed, bool *found)
{
    if (headed && std::printf("==> %s <==\n", name.c_str()) < 0) {
        outputFailed(errno);
        return Outcome::OutputFailed;
    }
    const std::unique_ptr<LogOutput> output = makeOutput(options, name);
    int writeError = 0;
    const auto feed = [&](const char *data, qint64 size) {
        output->feed(data, size);
        if (output->out.size() < flushSize || writeOut(output->out))
            return true;
        writeError = errno;
        return false;
    };
    const UnpackResult result = reader.unpack(feed);
    if (result.outcome != UnpackResult::WriteFailed) {
        // What was read before damage is still decoded.
        output->finish();
        if (!output->out.empty() && !writeOut(output->out))
            writeError = errno;
    }
    *found = *found || output->found;
    if (result.outcome == UnpackResult::WriteFailed || writeError != 0) {
        outputFailed(writeError);
        return Outcome::OutputFailed;
    }
    return result.outcome == UnpackResult::Complete ? Outcome::Done : notRead(name, result.error);
}

// Decodes a plain log, or every log of a compressed file or zip archive.
Outcome decodeFile(const DecodeOptions &options, const std::string &name, bool *found)
{
    const bool standardInput = name == "-";
    const int fd = standardInput ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return notRead(name, QString::fromLocal8Bit(std::strerror(errno)));
    ArchiveReader reader;
    Outcome outcome = Outcome::Done;
    if (reader.open(fd)) {
        const bool zip = reader.format() == ArchiveFormat::Zip;
        // JSON Lines and CSV name the log in every row.
        const bool headed =
            options.format == DecodeOptions::Format::Text && (options.files.size() > 1 || zip);
        ArchiveEntry entry;
        while (outcome == Outcome::Done && reader.nextEntry(&entry)) {
            const std::string log =
                zip ? name + '/' + entry.name.toLocal8Bit().toStdString() : name;
            outcome = decodeEntry(options, reader, log, headed, found);
        }
    }
    if (outcome == Outcome::Done && !reader.errorString().isEmpty())
        outcome = notRead(name, reader.errorString());
    if (!standardInput)
        close(fd);
    return outcome;
}

// A text to find that converts to nothing is bad usage; false with `error` set.
bool checkFindText(const DecodeOptions &options, std::string *error)
{
    if (!searchPattern(searchModeOf(options), options.findText).text.isEmpty())
        return true;
    if (options.findText.isEmpty())
        *error = "--find needs a text to search for";
    else
        *error = "--find: " + options.findText.toStdString() +
                 " is no parameter id (NUMBER or NUMBER.INDEX, each at most 65535)";
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    // Typed texts and the lines of the results rows pass through the locale's encoding, as in
    // the viewer.
    std::setlocale(LC_ALL, "");
    // A closed pipe then fails the write with EPIPE, which is reported, instead of killing us.
    std::signal(SIGPIPE, SIG_IGN);
    DecodeOptions options;
    std::string error;
    if (!parseDecodeOptions(argc, argv, &options, &error) ||
        (options.find && !checkFindText(options, &error))) {
        std::fprintf(stderr,
                     "telvane-decode: %s\n"
                     "Usage: telvane-decode [OPTION...] [FILE...]\n"
                     "Try 'telvane-decode --help' for more information.\n",
                     error.c_str());
        return 2;
    }
    if (options.help) {
        if (std::fputs(decodeUsage, stdout) < 0 || std::fflush(stdout) != 0) {
            outputFailed(errno);
            return 1;
        }
        return 0;
    }
    // Failures of output and input: 1 when decoding, 2 for a search, as grep has it.
    const int failed = options.find ? 2 : 1;
    if (options.format == DecodeOptions::Format::Csv) {
        std::string header;
        appendUtf8(header, telegramtable::csvRecord(telegramtable::columnNames()));
        if (!writeOut(header)) {
            outputFailed(errno);
            return failed;
        }
    }
    bool allRead = true;
    bool found = false;
    for (const std::string &file : options.files) {
        const Outcome outcome = decodeFile(options, file, &found);
        if (outcome == Outcome::OutputFailed)
            return failed;
        allRead = outcome == Outcome::Done && allRead;
    }
    if (std::fflush(stdout) != 0) {
        outputFailed(errno);
        return failed;
    }
    if (!allRead)
        return failed;
    return options.find && !found ? 1 : 0;
}
