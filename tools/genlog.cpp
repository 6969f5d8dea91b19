// SPDX-License-Identifier: GPL-3.0-or-later
// telvane-genlog: writes a generated communication log for benchmarks and demos.
#include "tools/loggenerator.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const char usage[] = "Usage: telvane-genlog --lines N [--seed S] [--out FILE]\n";
    long long lines = -1;
    unsigned long long randomSeed = 1;
    QString out;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const bool hasValue = i + 1 < arguments.size();
        bool ok = true;
        if (argument == QLatin1String("--help")) {
            std::fputs(usage, stdout);
            return 0;
        } else if (argument == QLatin1String("--lines") && hasValue) {
            lines = arguments.at(++i).toLongLong(&ok);
        } else if (argument == QLatin1String("--seed") && hasValue) {
            randomSeed = arguments.at(++i).toULongLong(&ok);
        } else if (argument == QLatin1String("--out") && hasValue) {
            out = arguments.at(++i);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (lines < 0 || lines > 100000000) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (out.isEmpty()) {
        const QByteArray log = generatedLog(int(lines), quint32(randomSeed));
        return std::fwrite(log.constData(), 1, size_t(log.size()), stdout) == size_t(log.size())
                   ? 0
                   : 1;
    }
    if (!writeGeneratedLog(out, int(lines), quint32(randomSeed))) {
        std::fprintf(stderr, "telvane-genlog: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
