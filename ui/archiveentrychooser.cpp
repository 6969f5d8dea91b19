// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/archiveentrychooser.h"

#include "ui_archiveentrychooser.h"

#include <QFileInfo>
#include <QLocale>
#include <QPushButton>

ArchiveEntryChooser::ArchiveEntryChooser(QWidget *parent, const QString &archive,
                                         const QVector<ArchiveEntry> &entries, bool several)
    : QDialog(parent), ui(std::make_unique<Ui::ArchiveEntryChooser>())
{
    ui->setupUi(this);
    const QString name = QFileInfo(archive).fileName();
    ui->label->setText(
        several ? tr("%1 holds %2 logs. Choose the ones to open; each opens in a "
                     "panel of its own.")
                      .arg(name)
                      .arg(entries.size())
                : tr("%1 holds %2 logs. Choose the one to open.").arg(name).arg(entries.size()));
    if (!several)
        ui->entryList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int i = 0; i < entries.size(); ++i) {
        const ArchiveEntry &entry = entries.at(i);
        auto *item = new QListWidgetItem(
            entry.size < 0 ? entry.name
                           : tr("%1 (%2)").arg(entry.name, locale().formattedDataSize(entry.size)),
            ui->entryList);
        item->setData(Qt::UserRole, i);
    }
    ui->entryList->setCurrentRow(0);
    connect(ui->entryList, &QListWidget::itemSelectionChanged, this,
            [this] { openButton()->setEnabled(!ui->entryList->selectedItems().isEmpty()); });
    connect(ui->entryList, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ArchiveEntryChooser::~ArchiveEntryChooser() = default;

QVector<int> ArchiveEntryChooser::chosenEntries() const
{
    QVector<int> chosen;
    for (int row = 0; row < ui->entryList->count(); ++row) {
        if (ui->entryList->item(row)->isSelected())
            chosen.append(ui->entryList->item(row)->data(Qt::UserRole).toInt());
    }
    return chosen;
}

QListWidget *ArchiveEntryChooser::entryList() const
{
    return ui->entryList;
}

QPushButton *ArchiveEntryChooser::openButton() const
{
    return ui->buttonBox->button(QDialogButtonBox::Open);
}
