#include "FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace folianto {

TFindDialog::TFindDialog(QWidget* parent)
    : QDialog(parent),
      findWhat_(new QLineEdit),
      wholeWord_(new QCheckBox(tr("Match &whole word only"))),
      matchCase_(new QCheckBox(tr("Match &case"))),
      up_(new QRadioButton(tr("&Up"))),
      down_(new QRadioButton(tr("&Down"))),
      findNext_(new QPushButton(tr("&Find Next"))),
      cancel_(new QPushButton(tr("Cancel")))
{
    setWindowTitle(tr("Find"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* label = new QLabel(tr("Fi&nd what:"));
    label->setBuddy(findWhat_);
    findWhat_->setMinimumWidth(200);

    auto* direction = new QGroupBox(tr("Direction"));
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(up_);
    directionLayout->addWidget(down_);
    down_->setChecked(true);

    auto* options = new QVBoxLayout;
    options->addWidget(wholeWord_);
    options->addWidget(matchCase_);
    options->addStretch();

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext_);
    buttons->addWidget(cancel_);
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(findWhat_, 0, 1, 1, 2);
    grid->addLayout(options, 1, 0, 1, 2);
    grid->addWidget(direction, 1, 2);
    grid->addLayout(buttons, 0, 3, 2, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // As in the system's own find dialog: nothing to find, nothing to press.
    findNext_->setDefault(true);
    findNext_->setEnabled(false);
    connect(findWhat_, &QLineEdit::textChanged, this, [this](const QString& text) { findNext_->setEnabled(!text.isEmpty()); });
    connect(findNext_, &QPushButton::clicked, this, &TFindDialog::FindNext);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const
{
    return findWhat_->text();
}

bool TFindDialog::WholeWord() const
{
    return wholeWord_->isChecked();
}

bool TFindDialog::MatchCase() const
{
    return matchCase_->isChecked();
}

bool TFindDialog::Down() const
{
    return down_->isChecked();
}

void TFindDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        findWhat_->selectAll();
        findWhat_->setFocus();
        emit Shown();
    }
}

}  // namespace folianto
