// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/applicationsettings.h"

#include <QCoreApplication>
#include <QDir>

namespace
{
const QString fileNamesKey = QStringLiteral("FileNames");
const QString lastFileDialogPathKey = QStringLiteral("LastFileDialogPath");
const QString mainWindowGeometryKey = QStringLiteral("mainWindowGeometry");
const QString visualizedAreaWidthKey = QStringLiteral("VisualizedAreaWidth");
const QString linkPanelsByTimeKey = QStringLiteral("LinkPanelsByTime");
constexpr int defaultVisualizedAreaWidth = 400;

// Taken before main runs and kept for the whole run.
const QString homeDirectory = QDir::homePath();
} // namespace

ApplicationSettings::ApplicationSettings()
    : QSettings(QStringLiteral("Velmora Drives"), QCoreApplication::applicationName())
{
}

ApplicationSettings &ApplicationSettings::instance()
{
    static ApplicationSettings settings;
    return settings;
}

QStringList ApplicationSettings::fileNames() const
{
    return value(fileNamesKey, homeDirectory)
        .toString()
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
        .split(QLatin1Char(';'), Qt::KeepEmptyParts, Qt::CaseSensitive);
#else
        .split(QLatin1Char(';'), QString::KeepEmptyParts, Qt::CaseSensitive);
#endif
}

void ApplicationSettings::storeFileNames(const QStringList &names)
{
    setValue(fileNamesKey, names.join(QLatin1Char(';')));
}

QString ApplicationSettings::lastFileDialogPath() const
{
    return value(lastFileDialogPathKey, homeDirectory).toString();
}

void ApplicationSettings::setLastFileDialogPath(const QString &path)
{
    setValue(lastFileDialogPathKey, path);
}

QByteArray ApplicationSettings::mainWindowGeometry() const
{
    return value(mainWindowGeometryKey).toByteArray();
}

void ApplicationSettings::setMainWindowGeometry(const QByteArray &geometry)
{
    setValue(mainWindowGeometryKey, geometry);
}

int ApplicationSettings::visualizedAreaWidth() const
{
    return value(visualizedAreaWidthKey, defaultVisualizedAreaWidth).toInt();
}

void ApplicationSettings::setVisualizedAreaWidth(int width)
{
    // Each panel that opens a telegram log reports the width it was given; storing it again
    // would have the store rewritten, and the disk waited for, every time.
    if (value(visualizedAreaWidthKey).toString() != QString::number(width))
        setValue(visualizedAreaWidthKey, width);
}

bool ApplicationSettings::linkPanelsByTime() const
{
    return value(linkPanelsByTimeKey, false).toBool();
}

void ApplicationSettings::setLinkPanelsByTime(bool on)
{
    setValue(linkPanelsByTimeKey, on);
}

const QFont &ApplicationSettings::textFont()
{
    // No installed family has this name, so matching falls back on the monospace hint.
    static QFont font(QStringLiteral("unexistent"));
    font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    font.setPointSize(10);
    return font;
}
