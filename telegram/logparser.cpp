// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/logparser.h"

#include "telegram/telegramdecoder.h"

#include <cstring>

namespace
{
const QString dpv1Protocol = QStringLiteral("DPV1");

// Value of a hex digit, -1 for any other character.
struct HexDigits {
    qint8 values[256];
    constexpr HexDigits() : values()
    {
        for (int c = 0; c < 256; ++c)
            values[c] = -1;
        for (int c = '0'; c <= '9'; ++c)
            values[c] = qint8(c - '0');
        for (int c = 'A'; c <= 'F'; ++c)
            values[c] = qint8(c - 'A' + 10);
        for (int c = 'a'; c <= 'f'; ++c)
            values[c] = qint8(c - 'a' + 10);
    }
};
constexpr HexDigits hexDigits;

// Callers hand over UTF-8 bytes or text known to be ASCII.
int hexValue(uchar c)
{
    return hexDigits.values[c];
}

// True when no byte has its top bit set, tested eight bytes at a time.
bool isAscii(const char *text, int length)
{
    quint64 bits = 0;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        quint64 word;
        std::memcpy(&word, text + i, 8);
        bits |= word;
    }
    for (; i < length; ++i)
        bits |= uchar(text[i]);
    return (bits & 0x8080808080808080ull) == 0;
}

// Walks pairs of hex digits at 0, 3, 6, ...; the character after each pair is not examined.
template <typename Char> QByteArray hexPairs(const Char *text, int length)
{
    if (length <= 0)
        return QByteArray();
    QByteArray bytes((length + 2) / 3, Qt::Uninitialized);
    char *out = bytes.data();
    for (int i = 0; i < length; i += 3) {
        if (i + 1 >= length)
            return QByteArray();
        const int high = hexValue(uchar(text[i]));
        const int low = hexValue(uchar(text[i + 1]));
        if (high < 0 || low < 0)
            return QByteArray();
        *out++ = char(high * 16 + low);
    }
    return bytes;
}

// parseHexBytes on the UTF-8 bytes of a line whose characters are all ASCII.
QByteArray parseAsciiHexBytes(const char *line, int length, int start)
{
    if (start >= length)
        return QByteArray();
    const char *end = line + length;
    const char *open =
        static_cast<const char *>(std::memchr(line + start, '[', size_t(length - start)));
    if (!open)
        return QByteArray();
    const char *close =
        static_cast<const char *>(std::memchr(open + 1, ']', size_t(end - open - 1)));
    if (!close)
        return QByteArray();
    return hexPairs(reinterpret_cast<const uchar *>(open + 1), int(close - open - 1));
}
} // namespace

QByteArray parseHexBytes(const QString &line, int start)
{
    const int open = line.indexOf(QLatin1Char('['), qMax(start, 0));
    if (open < 0)
        return QByteArray();
    const int close = line.indexOf(QLatin1Char(']'), open + 1);
    if (close < 0)
        return QByteArray();
    const ushort *text = line.utf16() + open + 1;
    const int length = close - open - 1;
    // The walk is over UTF-8 bytes: only when a character outside ASCII is present do the
    // positions differ from the character positions.
    for (int i = 0; i < length; ++i) {
        if (text[i] >= 0x80) {
            const QByteArray utf8 = line.mid(open + 1, length).toUtf8();
            return hexPairs(reinterpret_cast<const uchar *>(utf8.constData()), utf8.size());
        }
    }
    return hexPairs(text, length);
}

void appendPrintable(bool keepLineBreaks, const QByteArray &bytes, QString &text)
{
    const int start = text.size();
    text.resize(start + bytes.size());
    QChar *out = text.data() + start;
    for (const char byte : bytes) {
        const uchar c = uchar(byte);
        if (keepLineBreaks && (c == 0x0A || c == 0x0D))
            *out++ = QLatin1Char(char(c));
        else if (c >= 0x20 && c <= 0x7E)
            *out++ = QLatin1Char(char(c));
        else
            *out++ = QLatin1Char('.');
    }
}

void TelegramLineDecoder::resetAssembler()
{
    firstFragment = nullptr;
    secondFragment = nullptr;
    savedBytes.clear();
}

// Received serial telegrams come as the start byte, then the length byte (alone or with one
// more byte), then the rest; on completion the saved bytes are put in front of `bytes`.
bool TelegramLineDecoder::offerFragment(TelegramRecord &record, QByteArray &bytes)
{
    if (!firstFragment) {
        if (bytes.size() == 1 && (bytes.at(0) == '\x02' || bytes.at(0) == '\x03')) {
            savedBytes = bytes;
            firstFragment = &record;
            return false;
        }
        resetAssembler();
        return false;
    }
    if (!secondFragment) {
        if (bytes.size() == 1 || bytes.size() == 2) {
            savedBytes += bytes;
            secondFragment = &record;
            return false;
        }
        resetAssembler();
        return false;
    }
    const int length = uchar(savedBytes.at(1));
    if ((savedBytes.size() == 2 && bytes.size() == length) ||
        (savedBytes.size() == 3 && bytes.size() == length - 1)) {
        bytes.prepend(savedBytes);
        return true;
    }
    resetAssembler();
    return false;
}

void TelegramLineDecoder::applyWriteEcho(TelegramRecord &record) const
{
    if (!hasLastRequest || (lastRequestType == Write && lastRequestParameter == record.parameter &&
                            lastRequestProtocol == record.protocol))
        record.value = QString();
}

void TelegramLineDecoder::rememberRequest(const TelegramRecord &record)
{
    hasLastRequest = true;
    lastRequestType = record.type;
    lastRequestParameter = record.parameter;
    lastRequestProtocol = record.protocol;
}

void TelegramLineDecoder::decode(const QString &line, TelegramRecord &record)
{
    const int markerPosition = line.indexOf(commMarker);
    if (markerPosition < 0) {
        record.type = NoTelegram;
        return;
    }
    QByteArray bytes = parseHexBytes(line, markerPosition + commMarker.size());
    decodeBytes(bytes, record);
}

void TelegramLineDecoder::decodeUtf8(const char *line, int length, int markerOffset,
                                     TelegramRecord &record)
{
    if (!isAscii(line, length)) {
        // Positions in characters and in bytes may differ: take the way over text.
        decode(QString::fromUtf8(line, length), record);
        return;
    }
    QByteArray bytes = parseAsciiHexBytes(line, length, markerOffset + commMarker.size());
    decodeBytes(bytes, record);
}

void TelegramLineDecoder::decodeBytes(QByteArray &bytes, TelegramRecord &record)
{
    if (bytes.isEmpty()) {
        record.type = NoTelegram;
        return;
    }
    const int type = decodeTelegram(0, bytes, record.protocol, record.address, record.parameter,
                                    record.value, record.error);
    if (type != 0) {
        resetAssembler();
        record.type = type;
        if (type == ResponseOK && record.protocol != dpv1Protocol)
            applyWriteEcho(record);
        else if (type == Read || type == ReadDescription || type == Write)
            rememberRequest(record);
        return;
    }
    appendPrintable(keepLineBreaks, bytes, record.data);
    record.type = Data;
    if (!offerFragment(record, bytes))
        return;
    TelegramRecord joined;
    const int joinedType = decodeTelegram(1, bytes, joined.protocol, joined.address,
                                          joined.parameter, joined.value, joined.error);
    if (joinedType == 0)
        return;
    firstFragment->type = NoTelegram;
    firstFragment->data = QString();
    secondFragment->type = NoTelegram;
    secondFragment->data = QString();
    record.protocol = joined.protocol;
    record.parameter = joined.parameter;
    record.address = joined.address;
    record.value = joined.value;
    record.error = joined.error;
    record.data = QString();
    resetAssembler();
    record.type = joinedType;
    if (joinedType == ResponseOK)
        applyWriteEcho(record);
    else if (joinedType == PPO3Response) // a joined telegram is never a Read or a Write
        rememberRequest(record);
}

TelegramRecord parseTelegramLine(const QString &line)
{
    TelegramLineDecoder decoder(true);
    TelegramRecord record;
    decoder.decode(line, record);
    return record;
}

QVector<TelegramRecord> parseTelegramLines(const QStringList &lines)
{
    QVector<TelegramRecord> records(lines.size());
    TelegramLineDecoder decoder(false);
    TelegramRecord *out = records.data();
    for (int i = 0; i < lines.size(); ++i)
        decoder.decode(lines.at(i), out[i]);
    return records;
}
