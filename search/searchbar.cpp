// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/searchbar.h"

#include "ui_searchbar.h"

#include <QKeyEvent>

SearchBar::SearchBar(QWidget *parent) : QWidget(parent), ui(std::make_unique<Ui::SearchBar>())
{
    ui->setupUi(this);
    ui->pushButtonFindAll->setEnabled(false);
    ui->pushButtonShowOrHide->hide();
    ui->pushButtonClearResults->hide();

    connect(ui->lineEditSearchText, &QLineEdit::textChanged, this, &SearchBar::onSearchTextChanged);
    connect(ui->pushButtonNext, &QPushButton::clicked, this, &SearchBar::searchNext);
    connect(ui->pushButtonPrevious, &QPushButton::clicked, this, &SearchBar::searchPrevious);
    connect(ui->checkBoxMatchCase, &QCheckBox::stateChanged, this,
            &SearchBar::handleNewMatchCaseState);
    connect(ui->radioButtonPlainText, &QRadioButton::toggled, this, &SearchBar::radioButtonToggle);
    connect(ui->radioButtonBinatyData, &QRadioButton::toggled, this, &SearchBar::radioButtonToggle);
    connect(ui->radioButtonParameterID, &QRadioButton::toggled, this,
            &SearchBar::radioButtonToggle);
    connect(ui->pushButtonFindAll, &QPushButton::pressed, this, &SearchBar::searchAll);
}

SearchBar::~SearchBar() = default;

QPushButton *SearchBar::clearResultsButton() const
{
    return ui->pushButtonClearResults;
}

QPushButton *SearchBar::showOrHideButton() const
{
    return ui->pushButtonShowOrHide;
}

QLineEdit *SearchBar::searchTextEdit() const
{
    return ui->lineEditSearchText;
}

void SearchBar::focusSearchText()
{
    ui->lineEditSearchText->setFocus(Qt::ShortcutFocusReason);
    ui->lineEditSearchText->selectAll();
}

void SearchBar::requestNext()
{
    searchNext();
}

void SearchBar::requestPrevious()
{
    searchPrevious();
}

bool SearchBar::requestFindAll()
{
    if (!ui->pushButtonFindAll->isEnabled())
        return false;
    searchAll();
    return true;
}

void SearchBar::finishSearch(bool found)
{
    const QColor colour =
        (found || ui->lineEditSearchText->text().isEmpty()) ? QColor(Qt::black) : QColor(Qt::red);
    QPalette palette = ui->lineEditSearchText->palette();
    palette.setColor(ui->lineEditSearchText->foregroundRole(), colour);
    ui->lineEditSearchText->setPalette(palette);
}

void SearchBar::searchAll()
{
    ui->pushButtonShowOrHide->show();
    ui->pushButtonClearResults->show();
    ui->pushButtonShowOrHide->setText(QStringLiteral("Hide Results"));
    triggerSearch(ui->lineEditSearchText->text(), FindAll);
}

QString SearchBar::getSearchText()
{
    return ui->lineEditSearchText->text();
}

void SearchBar::onSearchTextChanged(const QString &text)
{
    triggerSearch(text, FindFromLineStart);
    ui->pushButtonFindAll->setEnabled(!ui->lineEditSearchText->text().isEmpty());
}

void SearchBar::searchNext()
{
    triggerSearch(ui->lineEditSearchText->text(), FindNext);
}

void SearchBar::searchPrevious()
{
    triggerSearch(ui->lineEditSearchText->text(), FindPrevious);
}

void SearchBar::handleNewMatchCaseState(int)
{
    triggerSearch(ui->lineEditSearchText->text(), FindFromLineStart);
}

void SearchBar::radioButtonToggle(bool checked)
{
    ui->checkBoxMatchCase->setEnabled(checked && sender() == ui->radioButtonPlainText);
}

void SearchBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        triggerSearch(ui->lineEditSearchText->text(), FindPrevious);
        break;
    case Qt::Key_Down:
        triggerSearch(ui->lineEditSearchText->text(), FindNext);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & Qt::ShiftModifier)
            searchPrevious();
        else
            searchNext();
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void SearchBar::triggerSearch(const QString &text, int searchDirection)
{
    int mode;
    if (ui->radioButtonParameterID->isChecked())
        mode = ParameterId;
    else if (ui->radioButtonBinatyData->isChecked())
        mode = BinaryData;
    else if (ui->radioButtonPlainText->isChecked())
        mode = ui->checkBoxMatchCase->checkState() == Qt::Checked ? PlainTextMatchCase : PlainText;
    else
        return;
    const SearchOptions options(this, searchDirection, mode, text);
    emit searchTriggered(options);
}
