// SPDX-License-Identifier: GPL-3.0-or-later
#include "telegram/safetyfaults.h"

#include "telegram/faultlinesummary.h"

#include <QVector>

namespace
{
using Fields = QMap<quint16, QString>;

FaultCatalogue buildCatalogue()
{
    const Fields voltage = {{0, QStringLiteral("ADC Data[chnNo]")},
                            {1, QStringLiteral("supplyVoltage Data[chnNo].upperVoltageLimit")},
                            {2, QStringLiteral("supplyVoltage Data[chnNo].lowerVoltageLimit")}};
    const Fields selfTest = {{0, QStringLiteral("Safety Input")},
                             {1, QStringLiteral("Host Processor Statble State")},
                             {2, QStringLiteral("Peer Processor Stable State")}};
    const Fields input = {{0, QStringLiteral("Safety Input")},
                          {1, QStringLiteral("Host Processor Stable State")},
                          {2, QStringLiteral("Peer Processor Stable State")}};
    const Fields unnamed = {{0, QString()}};
    const auto speedLimit = [](const char *ramp, const char *which) {
        const QString data = QString::fromLatin1(which);
        return Fields{{0, QStringLiteral("Monitored Speed high (RPM)")},
                      {1, QString::fromLatin1(ramp)},
                      {2, data + QStringLiteral(".time (MSB)(ms)")},
                      {3, data + QStringLiteral(".time (LSB)(ms)")}};
    };
    FaultCatalogue catalogue;
    const auto add = [&catalogue](quint32 id, const char *name, const Fields &fields) {
        catalogue.insert(id, FaultEntry{QString::fromLatin1(name), fields});
    };
    add(67, "Internal Failure Tolerance Error Exceeded",
        {{0, QStringLiteral("Measured Speed (RPM)")},
         {1, QStringLiteral("Estimated Speed (RPM)")},
         {2, QStringLiteral("Filter Error")},
         {3, QStringLiteral("Param Speed Monitoring tolerance error")}});
    add(68, "Internal Failure Speed Limit SS1 A Ramp",
        speedLimit("SS1 Ramp (RPM)", "SS1 Data[SS1 A]"));
    add(69, "Internal Failure Speed Limit SS1 B Ramp",
        speedLimit("SS1Ramp(RPM)", "SS1 Data[SS1 B]"));
    add(70, "Internal Failure Speed Limit SLS A", speedLimit("SLS Ramp (RPM)", "SLS Data[SLS A]"));
    add(71, "Internal Failure Speed Limit SLS B", speedLimit("SLS Ramp (RPM)", "SLS Data[SLS B]"));
    add(74, "Internal Failure Safe Output Switch 2", {});
    add(75, "Internal Failure DI2 In Power Up Self Test", selfTest);
    add(76, "Internal Failure DI1 In Power Up Self Test", selfTest);
    add(78, "Internal Failure S1S2 Communication Channel",
        {{0, QStringLiteral("File No.")}, {1, QStringLiteral("Function Number")}});
    add(79, "Internal Failure No SPI Communication", {});
    add(80, "Internal Failure No CAN Communication", {});
    add(81, "Internal Failure V UC1 Undervoltage Power Down", voltage);
    add(82, "Internal Failure V UC1 Overvoltage", voltage);
    add(83, "Internal Failure 24V IO Undervoltage Power Down", voltage);
    add(84, "Internal Failure 24V IO Overvoltage", voltage);
    add(85, "Internal Failure V UC2 Undervoltage Power Down", voltage);
    add(86, "Internal Failure V UC2 Overvoltage", voltage);
    add(87, "Internal Failure Internal 5V Undervoltage Power Down", voltage);
    add(88, "Internal Failure Internal 5V Overvoltage", voltage);
    add(89, "Internal Failure Memory S2", {});
    add(91, "Internal Failure V UC2 PLL Undervoltage Power Down", voltage);
    add(92, "Internal Failure V UC2 PLL Overvoltage", voltage);
    add(93, "Internal Failure V UC2 Core Undervoltage Power Down", voltage);
    add(94, "Internal Failure V UC2 Core Overvoltage", voltage);
    add(95, "Internal Failure V UC2 SDRAM Undervoltage Power Down", voltage);
    add(96, "Internal Failure V UC2 SDRAM Overvoltage", voltage);
    add(97, "Internal Failure MOC S1", unnamed);
    add(98, "Internal Failure Invalid Customization File Version",
        {{0, QStringLiteral("Current Customization File Version")},
         {1, QStringLiteral("Max Customization File Version")}});
    add(99, "Internal Failure No Feedback Encoder Connected", unnamed);
    add(100, "Internal Failure Invalid Fieldbus Option",
        {{0, QStringLiteral("Version Number")},
         {1, QStringLiteral("Supported Safe Fieldbus [BYTE_1]")},
         {2, QStringLiteral("Supported Safe Fieldbus by Safe Option")},
         {3, QStringLiteral("Supported Safe Fieldbus by Option A")}});
    add(113, "External Failure DI1", input);
    add(114, "External Failure DI2", input);
    add(115, "External Failure SLS Zero Speed Limit Timer Elapsed",
        {{0, QStringLiteral("Speed Suspension Timer")},
         {1, QStringLiteral("Param Speed Monitoring SLS Zero Speed Limit Timer")}});
    add(116, "External Failure Safety Function Activation Speed Suspesion", unnamed);
    add(117, "External Failure Safe Fieldbus Communication Error",
        {{0, QStringLiteral("Safe Host Command Data[0]")}});
    return catalogue;
}

// Built before main() runs, like the rest of the program-wide static data.
const FaultCatalogue englishCatalogue = buildCatalogue();
// The drives' German texts are the English ones, entry for entry.
const FaultCatalogue germanCatalogue = buildCatalogue();

const FaultCatalogue &catalogueFor(TextLanguage language)
{
    return language == German ? germanFaultCatalogue() : englishFaultCatalogue();
}

bool isFaultWord(QStringView piece)
{
    return piece == QLatin1String("INT FAIL") || piece == QLatin1String("EXT FAIL");
}

QString faultText(quint32 id, const std::array<quint16, 4> *words, const QString &pattern,
                  TextLanguage language)
{
    const FaultCatalogue &catalogue = catalogueFor(language);
    const auto entry = catalogue.constFind(id);
    if (entry == catalogue.constEnd())
        return QString();
    QString text = entry->name;
    if (!words)
        return text;
    for (quint16 index = 0; index < 4; ++index) {
        const auto field = entry->fields.constFind(index);
        if (field != entry->fields.constEnd())
            text += pattern.arg(*field, QString::number((*words)[index]));
    }
    return text;
}
} // namespace

const FaultCatalogue &englishFaultCatalogue()
{
    return englishCatalogue;
}

const FaultCatalogue &germanFaultCatalogue()
{
    return germanCatalogue;
}

FaultLine parseFaultLine(const QString &line)
{
    FaultLine result;
    const QList<QStringView> pieces = QStringView(line).split(QLatin1Char(','));
    const bool withData = pieces.size() == 5 && pieces[3].size() == 16;
    if ((!withData && pieces.size() != 4) || !isFaultWord(pieces[0]))
        return result;
    bool ok = false;
    const quint32 id = pieces[1].toUInt(&ok, 10);
    if (!ok)
        return result;
    std::array<quint16, 4> words{};
    for (int i = 0; withData && i < 4; ++i) {
        words[size_t(i)] = pieces[3].mid(i * 4, 4).toUShort(&ok, 16);
        if (!ok)
            return result;
    }
    result.kind = withData ? FaultWithData : FaultWithoutData;
    result.id = id;
    result.words = words;
    return result;
}

QString faultSummary(quint32 id, const std::array<quint16, 4> *words, TextLanguage language)
{
    return faultText(id, words, QStringLiteral("; %1: %2"), language);
}

QString faultDetails(quint32 id, const std::array<quint16, 4> &words, TextLanguage language)
{
    return faultText(id, &words, QStringLiteral("\n             %1: %2"), language);
}

QString faultLineSummary(const FaultLine &fault, TextLanguage language)
{
    if (fault.kind == FaultWithData)
        return faultSummary(fault.id, &fault.words, language);
    if (fault.kind == FaultWithoutData)
        return faultSummary(fault.id, nullptr, language);
    return QString();
}

SafetyFaultTexts decodeSafetyFaults(const QStringList &lines, int selectedIndex,
                                    TextLanguage language)
{
    SafetyFaultTexts result;
    result.texts.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const FaultLine fault = parseFaultLine(lines.at(i));
        result.texts << faultLineSummary(fault, language);
        if (i == selectedIndex) {
            // A line without data shows its bare name as details too.
            result.details = fault.kind == FaultWithData
                                 ? faultDetails(fault.id, fault.words, language)
                                 : result.texts.last();
        }
    }
    return result;
}
