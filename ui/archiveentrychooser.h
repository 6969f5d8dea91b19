// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivereader.h"

#include <QDialog>
#include <QVector>
#include <memory>

class QListWidget;
class QPushButton;

namespace Ui
{
class ArchiveEntryChooser;
}

// The logs of a zip to open: a list of its entries, of which the user picks one or more.
class ArchiveEntryChooser : public QDialog
{
    Q_OBJECT

public:
    // With `several`, more than one entry can be chosen, each for a panel of its own.
    ArchiveEntryChooser(QWidget *parent, const QString &archive,
                        const QVector<ArchiveEntry> &entries, bool several);
    ~ArchiveEntryChooser() override;

    // The indexes of the chosen entries, in the archive's order.
    QVector<int> chosenEntries() const;
    QListWidget *entryList() const;
    QPushButton *openButton() const;

private:
    std::unique_ptr<Ui::ArchiveEntryChooser> ui;
};
