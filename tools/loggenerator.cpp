// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/loggenerator.h"

#include <QFile>
#include <QVector>
#include <cstdio>

namespace
{
// splitmix64: tiny, fast and identical on every platform and Qt version.
class Random
{
public:
    explicit Random(quint32 randomSeed) : state(0x9E3779B97F4A7C15ull ^ randomSeed) {}
    quint64 next()
    {
        quint64 z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, bound).
    int below(int bound) { return int(next() % quint64(bound)); }
    quint8 byte() { return quint8(next()); }

private:
    quint64 state;
};

using Bytes = QVector<quint8>;

const char *const plainMessages[] = {
    "[Info] DriveScanner: polling drive %d on COM3 (9600 baud, timeout 250 ms)",
    "[Info] ParameterView: parameter list refreshed, %d entries loaded from the drive",
    "[Debug] SerialPort: receive buffer holds %d bytes, waiting for the end of telegram",
    "[Warn] DriveScanner: no answer from drive %d within 250 ms, retrying the request",
    "[GUI] ParameterView: user scrolled to parameter group %d, refreshing visible rows",
    "[Info] DriveStatus: drive %d state is Running, no warnings, no alarms pending",
    "[Debug] Scheduler: cycle %d finished, next poll of the parameter cache in 100 ms",
    "[Info] Fieldbus: connection to slave %d established (DP-V1, 1.5 MBaud, class 2)",
};

const char *const drivetexts[] = {"FC-302", "Motor 1", "Pump A", "Fan 12"};

class Generator
{
public:
    explicit Generator(quint32 randomSeed) : random(randomSeed) {}

    // Appends one event (one to four lines) and returns how many lines it wrote.
    int appendEvent(QByteArray &out, int maxLines);

private:
    void stamp(QByteArray &out);
    void hexLine(QByteArray &out, const char *label, const Bytes &bytes, int from, int to);
    void telegramLine(QByteArray &out, const char *label, const Bytes &bytes)
    {
        hexLine(out, label, bytes, 0, bytes.size());
    }
    // A received serial telegram as the log writes it: start byte, length byte(s), the rest.
    int receivedSplit(QByteArray &out, const Bytes &bytes, int maxLines);
    Bytes tl(int ak, int pnu, int index, quint32 value);
    Bytes tlText(int ak, int pnu, int subCommand, int index, const QByteArray &text);
    Bytes tlrx(int command, int pnu, int index, int dataType, quint32 value, bool withValue);
    Bytes envelope(int direction, const Bytes &inner);

    Random random;
    qint64 milliseconds = ((10 * 60 + 54) * 60 + 23) * 1000ll + 123;
    int address = 5;
};

void appendHex(QByteArray &out, quint8 byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

void appendBE(Bytes &bytes, quint32 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes << quint8(value >> shift);
}

void Generator::stamp(QByteArray &out)
{
    milliseconds += 1 + random.below(40);
    const qint64 ms = milliseconds % 1000;
    const qint64 seconds = milliseconds / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "2020-12-16 %02d:%02d:%02d.%03d ", int(seconds / 3600 % 24),
                  int(seconds / 60 % 60), int(seconds % 60), int(ms));
    out += text;
}

void Generator::hexLine(QByteArray &out, const char *label, const Bytes &bytes, int from, int to)
{
    stamp(out);
    out += "[Comm] ";
    out += label;
    out += " [";
    for (int i = from; i < to; ++i) {
        if (i > from)
            out += ' ';
        appendHex(out, bytes[i]);
    }
    out += "]\n";
}

Bytes Generator::tl(int ak, int pnu, int index, quint32 value)
{
    Bytes bytes{0x02, 0x0E, quint8(address), quint8((ak << 4) | ((pnu >> 8) & 0x0F)), quint8(pnu)};
    appendBE(bytes, quint32(index), 2);
    appendBE(bytes, value, 4);
    bytes << 0x04 << 0x7F << 0x00 << 0x00;
    quint8 check = 0;
    for (quint8 b : bytes)
        check ^= b;
    bytes << check;
    return bytes;
}

Bytes Generator::tlText(int ak, int pnu, int subCommand, int index, const QByteArray &text)
{
    Bytes bytes{0x02,
                0x00,
                quint8(address),
                quint8((ak << 4) | ((pnu >> 8) & 0x0F)),
                quint8(pnu),
                quint8(subCommand),
                quint8(index)};
    for (char c : text)
        bytes << quint8(c);
    bytes << 0x00 << 0x04 << 0x7F << 0x00 << 0x00 << 0x00;
    bytes[1] = quint8(bytes.size() - 2);
    return bytes;
}

Bytes Generator::tlrx(int command, int pnu, int index, int dataType, quint32 value, bool withValue)
{
    Bytes bytes{0x03, 0x00, quint8(address), quint8(command), 0xFF, 0x00, 0x00, 0x01, 0x10, 0x01};
    appendBE(bytes, quint32(pnu), 2);
    appendBE(bytes, quint32(index), 2);
    bytes << quint8(dataType) << 0x01;
    if (dataType == 9) {
        for (char c : QByteArray(drivetexts[value % 4]))
            bytes << quint8(c);
    } else if (withValue) {
        appendBE(bytes, value, 4);
    }
    bytes << quint8(random.byte());
    bytes[1] = quint8(bytes.size() - 2);
    return bytes;
}

Bytes Generator::envelope(int direction, const Bytes &inner)
{
    Bytes bytes{quint8(direction), quint8(inner.size())};
    bytes += inner;
    bytes.resize(64);
    return bytes;
}

int Generator::receivedSplit(QByteArray &out, const Bytes &bytes, int maxLines)
{
    const int lengthBytes = random.below(4) == 0 ? 2 : 1;
    const int cuts[] = {0, 1, 1 + lengthBytes, int(bytes.size())};
    int written = 0;
    for (int part = 0; part < 3 && written < maxLines; ++part, ++written)
        hexLine(out, "Received:", bytes, cuts[part], cuts[part + 1]);
    return written;
}

int Generator::appendEvent(QByteArray &out, int maxLines)
{
    const int roll = random.below(100);
    const int pnu = 100 + random.below(1900);
    const quint32 value = quint32(random.below(4000));
    if (random.below(50) == 0)
        address = 1 + random.below(20);
    if (random.below(100) < 58) {
        stamp(out);
        char text[96];
        std::snprintf(text, sizeof text, plainMessages[random.below(8)], 1 + random.below(300));
        out += text;
        out += '\n';
        return 1;
    }
    if (roll < 40) { // serial read and its received answer
        telegramLine(out, "Sent to COM3:", tl(roll < 23 ? 4 : 1, pnu, roll < 23 ? 1 : 0, 0));
        if (maxLines < 2)
            return 1;
        return 1 +
               receivedSplit(out, tl(random.below(10) == 0 ? 7 : 1, pnu, 0, value), maxLines - 1);
    }
    if (roll < 50) { // serial write and its echo
        const int ak = (roll & 1) ? 2 : 14;
        telegramLine(out, "Sent to COM3:", tl(ak, pnu, 0, value));
        if (maxLines < 2)
            return 1;
        return 1 + receivedSplit(out, tl(ak == 14 ? 2 : 1, pnu, 0, value), maxLines - 1);
    }
    if (roll < 54) { // text parameter
        telegramLine(out, "Sent to COM3:", tlText(15, pnu, 0, 0, QByteArray(1, '\0')));
        if (maxLines < 2)
            return 1;
        return 1 + receivedSplit(out, tlText(15, pnu, 0, 0, drivetexts[value % 4]), maxLines - 1);
    }
    if (roll < 58) { // PPO3 cyclic data
        telegramLine(out, "Sent to COM3:", {0x02, 0x06, quint8(address), 0, 0, 0, 0, 0x03});
        if (maxLines < 2)
            return 1;
        telegramLine(out, "Received:", {0x02, 0x06, quint8(address), 0x04, 0x7F, 0, 0, 0x7C});
        return 2;
    }
    if (roll < 64) { // framed telegram
        const bool write = roll & 1;
        telegramLine(out, "Sent to COM3:", tlrx(write ? 0x81 : 0x80, pnu, 0, 7, value, write));
        if (maxLines < 2)
            return 1;
        return 1 + receivedSplit(
                       out, tlrx(0x80 + (write ? 1 : 0), pnu, 0, value % 3 ? 7 : 9, value, !write),
                       maxLines - 1);
    }
    if (roll < 82) { // DP-V1 parameter access
        const bool write = roll >= 76;
        Bytes request{0xFF, quint8(write ? (roll == 81 ? 0x02 : 0x42) : 0x01), 0x00, 0x01, 0x10,
                      0x01};
        appendBE(request, quint32(pnu), 2);
        appendBE(request, 0, 2);
        if (write)
            request << 0x07 << 0x01 << 0 << 0 << quint8(value >> 8) << quint8(value);
        hexLine(out, "DPV1 Request to slave 3:", request, 0, request.size());
        if (maxLines < 2)
            return 1;
        Bytes response{0xFF, quint8(write ? 0x02 : 0x01), 0x00, 0x01};
        if (!write)
            response << 0x43 << 0x01 << 0 << 0 << quint8(value >> 8) << quint8(value);
        hexLine(out, "DPV1 Received from slave 3:", response, 0, response.size());
        return 2;
    }
    if (roll < 85) { // enveloped telegrams
        const Bytes inner = roll == 82   ? Bytes{0x02, 0x06, quint8(address), 0, 0, 0, 0, 0x04}
                            : roll == 83 ? tl(1, pnu, 0, 0)
                                         : tlrx(0x80, pnu, 0, 7, 0, false);
        if (roll == 82) {
            Bytes bytes{0x04, 0x08};
            bytes += inner;
            bytes.resize(64);
            telegramLine(out, "Sent to USB:", bytes);
        } else {
            telegramLine(out, "Sent to USB:", envelope(4, inner));
        }
        return 1;
    }
    if (roll < 90) { // raw text over the link
        stamp(out);
        out += "[Comm] Received: [4F 4B 0D 0A]\n";
        return 1;
    }
    if (roll < 91) { // a line cut off by the logger
        stamp(out);
        out += "[Comm] Sent to COM3: [02 0E 05 1\n";
        return 1;
    }
    stamp(out);
    out += "[Comm] Port COM3 open, 9600 baud, even parity\n";
    return 1;
}
} // namespace

QByteArray generatedLog(int lines, quint32 randomSeed)
{
    QByteArray out;
    out.reserve(qMax(lines, 0) * 82);
    Generator generator(randomSeed);
    for (int written = 0; written < lines;)
        written += generator.appendEvent(out, lines - written);
    return out;
}

bool writeGeneratedLog(const QString &path, int lines, quint32 randomSeed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Generator generator(randomSeed);
    QByteArray block;
    for (int written = 0; written < lines;) {
        written += generator.appendEvent(block, lines - written);
        if (block.size() >= (1 << 20) || written >= lines) {
            if (file.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return file.flush();
}
