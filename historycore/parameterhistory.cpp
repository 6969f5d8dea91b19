// SPDX-License-Identifier: GPL-3.0-or-later
#include "historycore/parameterhistory.h"

#include "telegram/telegramdecoder.h"

// Why most lines need not be decoded. A line's record depends on the lines before it in two ways
// only: a one-line ResponseOK that is not DP-V1 hides its value when the last request was a
// write of the same parameter and protocol, and a data line may complete a received telegram
// from the fragments before it. Every other line reads the same decoded on its own. So only a
// line whose bracket text may hold the parameter's number is decoded on its own, and those
// whose record can differ (such a ResponseOK, or a data line holding the number's bytes) go
// through the line parser. Before one does, the parser is handed what can still change its
// state among the lines it has not seen: the last request (for the write echo), the last
// one-line telegram (which ended any joining) and the data lines since. A data line left out
// before that telegram could only have mattered by joining a PPO3 response, which the parser
// takes as a request: lines that may complete one (5 or 6 bytes) make the parser take them all.
//
// Pairing: only DP-V1 responses come without a parameter (the serial decoders always name one),
// so only DP-V1 requests are paired. Requests under one that names the parameter can never
// answer for it, so a link's requests are kept only while one of them names the parameter, and
// only then are the DP-V1 lines decoded.

namespace
{
const QString dpv1Protocol = QStringLiteral("DPV1");
const QLatin1String marker("[Comm]");
// Held lines beyond this are handed to the parser.
const size_t maxHeld = 512;
const char hexDigits[] = "0123456789ABCDEF";

// Lines are short and the marker comes early: plain loops beat the library's vector searches.
int find(const QChar *text, int from, int size, char c)
{
    for (int i = from; i < size; ++i) {
        if (text[i] == QLatin1Char(c))
            return i;
    }
    return -1;
}

int markerPosition(const QString &line)
{
    const QChar *text = line.constData();
    const int last = line.size() - marker.size();
    for (int i = find(text, 0, line.size(), '['); i >= 0 && i <= last;
         i = find(text, i + 1, line.size(), '[')) {
        if (text[i + 1] == QLatin1Char('C') && text[i + 2] == QLatin1Char('o') &&
            text[i + 3] == QLatin1Char('m') && text[i + 4] == QLatin1Char('m') &&
            text[i + 5] == QLatin1Char(']'))
            return i;
    }
    return -1;
}

bool isRequest(qint32 type)
{
    return type == Read || type == ReadDescription || type == Write || type == WriteVolatile;
}

// The requests the line parser pairs write echoes with.
bool isParserRequest(qint32 type)
{
    return type == Read || type == ReadDescription || type == Write;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Upper-case ASCII.
QChar upper(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 32) : c;
}

// Calls `take(number, index)` for every "number.index" in a parameter text.
template <typename Take> void forEachParameter(const QString &text, Take take)
{
    const QChar *c = text.constData();
    const int size = text.size();
    int i = 0;
    while (i < size) {
        if (!isAsciiDigit(c[i])) {
            ++i;
            continue;
        }
        quint64 value = 0;
        for (; i < size && isAsciiDigit(c[i]); ++i)
            value = qMin<quint64>(value * 10 + (c[i].unicode() - '0'), 0x100000000ull);
        if (i + 1 >= size || c[i] != QLatin1Char('.') || !isAsciiDigit(c[i + 1]))
            continue;
        const int indexStart = ++i;
        while (i < size && isAsciiDigit(c[i]))
            ++i;
        if (value <= 0xFFFFFFFFull)
            take(quint32(value), QStringView(text).mid(indexStart, i - indexStart));
    }
}
} // namespace

QVector<quint32> parameterNumbers(const TelegramRecord &record)
{
    QVector<quint32> numbers;
    if (record.type == NoTelegram || record.type == Data)
        return numbers;
    forEachParameter(record.parameter, [&numbers](quint32 number, QStringView) {
        if (!numbers.contains(number))
            numbers.append(number);
    });
    return numbers;
}

QVector<quint32> parameterNumbersAt(const QStringList &lines, int index)
{
    if (index < 0 || index >= lines.size())
        return {};
    return parameterNumbers(parseTelegramLines(lines.mid(0, index + 1)).at(index));
}

ParameterHistory::ParameterHistory(quint32 parameter)
    : number(parameter), numberHigh(quint8(parameter >> 8)),
      numberLow(quint8(parameter)), lowDigits{QLatin1Char(hexDigits[numberLow >> 4]),
                                              QLatin1Char(hexDigits[numberLow & 0x0F])},
      highNibbleDigit(QLatin1Char(hexDigits[numberHigh & 0x0F]))
{
}

// Whether the ASCII text of a bracket may hold the number's bytes: its low byte as two digits,
// and two characters before them the digit of the high byte's low nibble (all that the plain
// telegram keeps of it). Digits at any position count, so no line that does is missed.
bool ParameterHistory::mayNameParameter(const QChar *text, int length) const
{
    if (number > 0xFFFF)
        return false;
    const ushort first = lowDigits[0].unicode();
    const ushort firstLower = first > '9' ? ushort(first + 32) : first;
    for (int j = 2; j + 1 < length; ++j) {
        const ushort c = text[j].unicode();
        if ((c == first || c == firstLower) && upper(text[j + 1]) == lowDigits[1] &&
            upper(text[j - 2]) == highNibbleDigit)
            return true;
    }
    return false;
}

// Whether bytes can complete a telegram that names the parameter: they hold its number
// big-endian (framed telegram), or its low byte after its high nibble (plain telegram).
bool ParameterHistory::bytesNameParameter(const QByteArray &bytes) const
{
    if (number > 0xFFFF)
        return false;
    const bool plainTelegram = number < 0x1000;
    for (int i = 1; i < bytes.size(); ++i) {
        if (quint8(bytes.at(i)) != numberLow)
            continue;
        const quint8 high = quint8(bytes.at(i - 1));
        if (high == numberHigh || (plainTelegram && (high & 0x0F) == numberHigh))
            return true;
    }
    return false;
}

bool ParameterHistory::namesParameter(const QString &parameterText, QString *index) const
{
    bool names = false;
    forEachParameter(parameterText, [&](quint32 found, QStringView foundIndex) {
        if (found != number)
            return;
        if (names)
            *index += QLatin1String(", ");
        *index += foundIndex;
        names = true;
    });
    return names;
}

void ParameterHistory::hold(const QString &line, int position, Held::Kind kind, bool mayJoinPpo3)
{
    held.push_back(Held{line, position, kind});
    heldMayJoinPpo3 = heldMayJoinPpo3 || mayJoinPpo3;
    if (held.size() > maxHeld)
        catchUp();
}

void ParameterHistory::classify(Held &line) const
{
    if (line.kind != Held::Unknown)
        return;
    const QByteArray bytes = parseHexBytes(line.line, line.markerPosition + marker.size());
    if (bytes.isEmpty()) {
        line.kind = Held::NoBytes;
        return;
    }
    TelegramRecord record;
    const int type = decodeTelegram(0, bytes, record.protocol, record.address, record.parameter,
                                    record.value, record.error);
    line.kind = type == 0               ? Held::Data
                : isParserRequest(type) ? Held::ParserRequest
                                        : Held::Telegram;
}

TelegramRecord ParameterHistory::decodeInOrder(const QString &line)
{
    heldRecords.emplace_back();
    decoder.decode(line, heldRecords.back());
    const TelegramRecord record = heldRecords.back();
    if (!decoder.holdsFragments())
        heldRecords.clear();
    return record;
}

void ParameterHistory::catchUp()
{
    if (heldMayJoinPpo3) {
        for (const Held &line : held)
            decodeInOrder(line.line);
    } else {
        // The last one-line telegram, and the last request at or before it.
        int telegram = int(held.size()) - 1;
        for (; telegram >= 0; --telegram) {
            classify(held[size_t(telegram)]);
            if (held[size_t(telegram)].kind >= Held::Telegram)
                break;
        }
        int request = telegram;
        while (request >= 0) {
            classify(held[size_t(request)]);
            if (held[size_t(request)].kind == Held::ParserRequest)
                break;
            --request;
        }
        if (request >= 0 && request != telegram)
            decodeInOrder(held[size_t(request)].line);
        if (telegram >= 0)
            decodeInOrder(held[size_t(telegram)].line);
        for (size_t i = size_t(telegram + 1); i < held.size(); ++i) {
            if (held[i].kind == Held::Data)
                decodeInOrder(held[i].line);
        }
    }
    held.clear();
    heldMayJoinPpo3 = false;
}

qint64 ParameterHistory::timeAbove(const QStringList &lines, int at) const
{
    for (int i = at; i >= 0; --i) {
        const qint64 time = linetime::lineTime(lines.at(i));
        if (time != linetime::none)
            return time;
    }
    return carriedTime;
}

void ParameterHistory::pair(const TelegramRecord &record, bool *concerns, QString *index)
{
    auto link = std::find_if(links.begin(), links.end(),
                             [&record](const Link &l) { return l.address == record.address; });
    if (isRequest(record.type)) {
        if (!*concerns && link == links.end())
            return;
        if (link == links.end())
            link = links.insert(links.end(), Link{record.address, 0, {}});
        link->unanswered.push_back(Request{*concerns, *index});
        if (*concerns) {
            ++link->named;
            ++unansweredNamed;
        }
        return;
    }
    if ((record.type != ResponseOK && record.type != ResponseError) ||
        !record.parameter.isEmpty() || link == links.end())
        return;
    const Request request = link->unanswered.back();
    link->unanswered.pop_back();
    *concerns = request.namesParameter;
    *index = request.index;
    if (request.namesParameter) {
        --unansweredNamed;
        if (--link->named == 0)
            links.erase(link);
    }
}

void ParameterHistory::takeTelegram(const TelegramRecord &record, qint64 lineNumber,
                                    const QStringList &lines, int at, HistoryRows &rows)
{
    QString index;
    bool concerns = namesParameter(record.parameter, &index);
    if (record.protocol == dpv1Protocol)
        pair(record, &concerns, &index);
    if (!concerns)
        return;
    HistoryRow row;
    row.line = lineNumber;
    row.time = timeAbove(lines, at);
    row.type = record.type;
    row.protocol = record.protocol;
    row.address = record.address;
    row.index = index;
    row.value = record.value;
    row.error = record.error;
    rows.append(row);
}

// A line that may concern the parameter, or a DP-V1 line while a request for it is unanswered.
void ParameterHistory::decodeLine(const QString &line, int position, qint64 lineNumber,
                                  const QStringList &lines, int at, HistoryRows &rows)
{
    const QByteArray bytes = parseHexBytes(line, position + marker.size());
    if (bytes.isEmpty())
        return; // leaves the parser's state alone
    TelegramRecord alone;
    alone.type = decodeTelegram(0, bytes, alone.protocol, alone.address, alone.parameter,
                                alone.value, alone.error);
    if (alone.type == 0) {
        if (!bytesNameParameter(bytes)) {
            hold(line, position, Held::Data, bytes.size() == 5 || bytes.size() == 6);
            return;
        }
        catchUp();
        const TelegramRecord record = decodeInOrder(line);
        if (record.type != Data)
            takeTelegram(record, lineNumber, lines, at, rows);
        return;
    }
    QString index;
    if (alone.type == ResponseOK && alone.protocol != dpv1Protocol &&
        namesParameter(alone.parameter, &index)) {
        catchUp();
        takeTelegram(decodeInOrder(line), lineNumber, lines, at, rows);
        return;
    }
    hold(line, position, isParserRequest(alone.type) ? Held::ParserRequest : Held::Telegram, false);
    takeTelegram(alone, lineNumber, lines, at, rows);
}

void ParameterHistory::feed(const QStringList &lines, HistoryRows &rows)
{
    const qint64 first = next;
    for (int at = 0; at < lines.size(); ++at) {
        const QString &line = lines.at(at);
        const int position = markerPosition(line);
        if (position < 0)
            continue;
        const QChar *chars = line.constData();
        const int open = find(chars, position + marker.size(), line.size(), '[');
        if (open < 0)
            continue; // no bytes: leaves the parser's state alone
        ushort bits = 0;
        int close = open + 1;
        for (; close < line.size() && chars[close] != QLatin1Char(']'); ++close)
            bits |= chars[close].unicode();
        if (close == line.size())
            continue;
        const QChar *text = chars + open + 1;
        const int length = close - open - 1;
        // Outside ASCII the bytes are walked in UTF-8; let the decoding tell.
        const bool decode =
            bits >= 0x80 || mayNameParameter(text, length) ||
            (unansweredNamed > 0 && length >= 2 && upper(text[0]) == 'F' && upper(text[1]) == 'F');
        if (decode) {
            decodeLine(line, position, first + at, lines, at, rows);
            continue;
        }
        // 5 or 6 bytes take 13 to 18 characters.
        hold(line, position, Held::Unknown, length >= 13 && length <= 18);
    }
    for (int at = lines.size() - 1; at >= 0; --at) {
        const qint64 time = linetime::lineTime(lines.at(at));
        if (time != linetime::none) {
            carriedTime = time;
            break;
        }
    }
    next = first + lines.size();
}
