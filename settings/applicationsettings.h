// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFont>
#include <QSettings>
#include <QStringList>

class ApplicationSettings : public QSettings
{
    Q_OBJECT

public:
    // The one settings object; the first call must come after the application object exists,
    // because the store is named after the application.
    static ApplicationSettings &instance();

    QStringList fileNames() const;
    // A template so that the settings need not know the panel class: any list of pointers to
    // objects with fileName() will do (the main window passes its std::vector<Field *>).
    template <typename FieldList> void setFileNames(FieldList fields)
    {
        QStringList names;
        for (const auto *field : fields)
            names << field->fileName();
        storeFileNames(names);
    }

    QString lastFileDialogPath() const;
    void setLastFileDialogPath(const QString &path);

    QByteArray mainWindowGeometry() const;
    void setMainWindowGeometry(const QByteArray &geometry);

    int visualizedAreaWidth() const;
    void setVisualizedAreaWidth(int width);

    // "Link Panels by Time"; off until switched on.
    bool linkPanelsByTime() const;
    void setLinkPanelsByTime(bool on);

    static const QFont &textFont();

private:
    ApplicationSettings();
    void storeFileNames(const QStringList &names);
};
