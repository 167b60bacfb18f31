#include "app/page_layout_dialog.h"

#include "app/named_widget.h"
#include "render/print.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace {

QLabel *buddyLabel(const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

PageLayoutDialog::PageLayoutDialog(const PageSetup &setup, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("pageLayoutDialog"));
    setWindowTitle(tr("Page layout"));
    setModal(true);

    paperList = named(new QComboBox, "paperList", tr("Paper"));
    paperList->addItem(tr("The printer's paper"));
    for (const PaperName &paper : PaperNames)
        paperList->addItem(QString::fromLatin1(paper.name));
    orientationList = named(new QComboBox, "orientationList", tr("Orientation"),
                            tr("\"Automatic\" turns the page whichever way draws the maze larger."));
    orientationList->addItems({tr("The printer's orientation"), tr("Portrait"), tr("Landscape"), tr("Automatic")});
    ownMarginBox = named(new QCheckBox(tr("Own &margin:")), "ownMarginBox", tr("Own margin"),
                         tr("The same margin on every side, instead of the printer's margins."));
    marginSpin = named(new QDoubleSpinBox, "marginSpin", tr("Margin in millimetres"));
    marginSpin->setRange(0, 100);
    marginSpin->setDecimals(1);
    marginSpin->setSuffix(tr(" mm"));
    marginSpin->setValue(10);
    centerBox = named(new QCheckBox(tr("&Centre the maze")), "centerBox", tr("Centre the maze"),
                      tr("The maze in the middle of the page instead of at its top-left corner."));
    titleEdit = named(new QLineEdit, "titleEdit", tr("Title"),
                      tr("Printed above the maze: %n becomes its number, %s its seed, %% a percent sign."));
    nameLineBox = named(new QCheckBox(tr("Name and &date line")), "nameLineBox", tr("Name and date line"),
                        tr("A \"Name: ______  Date: ______\" line under the title, for worksheets."));
    posterAcrossSpin = named(new QSpinBox, "posterAcrossSpin", tr("Poster pages across"),
                             tr("Print the maze as a poster on several pages that overlap by 10 mm, with marks to "
                                "line them up; 1 across and 1 down is one page."));
    posterDownSpin = named(new QSpinBox, "posterDownSpin", tr("Poster pages down"), posterAcrossSpin->toolTip());
    for (QSpinBox *spin : {posterAcrossSpin, posterDownSpin})
        spin->setRange(1, 20);
    okButton = named(new QPushButton(tr("&OK")), "okButton", tr("OK"));
    okButton->setDefault(true);
    cancelButton = named(new QPushButton(tr("C&ancel")), "cancelButton", tr("Cancel"));
    resetButton = named(new QPushButton(tr("R&eset")), "resetButton", tr("Reset"),
                        tr("Back to the page as it always is: the printer's paper, the maze at the top left."));

    auto *form = new QFormLayout;
    form->addRow(buddyLabel(tr("&Paper:"), paperList), paperList);
    form->addRow(buddyLabel(tr("O&rientation:"), orientationList), orientationList);
    form->addRow(ownMarginBox, marginSpin);
    form->addRow(centerBox);
    form->addRow(buddyLabel(tr("&Title:"), titleEdit), titleEdit);
    form->addRow(nameLineBox);
    auto *poster = new QHBoxLayout;
    poster->addWidget(posterAcrossSpin);
    poster->addWidget(buddyLabel(tr("do&wn:"), posterDownSpin));
    poster->addWidget(posterDownSpin);
    poster->addStretch();
    form->addRow(buddyLabel(tr("Po&ster, pages across:"), posterAcrossSpin), poster);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(resetButton);
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto *top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);

    connect(ownMarginBox, &QCheckBox::toggled, marginSpin, &QWidget::setEnabled);
    connect(okButton, &QPushButton::clicked, this, &PageLayoutDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(resetButton, &QPushButton::clicked, this, [this] { showSetup(PageSetup{}); });
    showSetup(setup);
}

void PageLayoutDialog::showSetup(const PageSetup &setup)
{
    paperList->setCurrentIndex(0);
    for (std::size_t i = 0; i < std::size(PaperNames); ++i)
        if (setup.paper == PaperNames[i].id)
            paperList->setCurrentIndex(int(i) + 1);
    orientationList->setCurrentIndex(static_cast<int>(setup.orientation));
    ownMarginBox->setChecked(setup.marginMm.has_value());
    marginSpin->setEnabled(setup.marginMm.has_value());
    if (setup.marginMm)
        marginSpin->setValue(*setup.marginMm);
    centerBox->setChecked(setup.center);
    titleEdit->setText(setup.title);
    nameLineBox->setChecked(setup.nameLine);
    posterAcrossSpin->setValue(setup.poster.isEmpty() ? 1 : setup.poster.width());
    posterDownSpin->setValue(setup.poster.isEmpty() ? 1 : setup.poster.height());
}

PageSetup PageLayoutDialog::setup() const
{
    PageSetup s;
    if (paperList->currentIndex() > 0)
        s.paper = PaperNames[paperList->currentIndex() - 1].id;
    s.orientation = static_cast<PageSetup::Orientation>(orientationList->currentIndex());
    if (ownMarginBox->isChecked())
        s.marginMm = marginSpin->value();
    s.center = centerBox->isChecked();
    s.title = titleEdit->text();
    s.nameLine = nameLineBox->isChecked();
    const QSize poster(posterAcrossSpin->value(), posterDownSpin->value());
    if (poster != QSize(1, 1))
        s.poster = poster;
    return s;
}

void PageLayoutDialog::accept()
{
    const PageSetup chosen = setup();
    // The printer's paper is known only once printing, which refuses it then. Either way the
    // printer may hold the paper is tried: only a setup that fits neither is refused here.
    if (chosen.paper) {
        QString refusal;
        for (const auto orientation : {QPageLayout::Portrait, QPageLayout::Landscape}) {
            const QPageLayout paper(QPageSize(*chosen.paper), orientation, QMarginsF());
            refusal = page_room_refusal(paper, chosen, 1, 1, 1, true);
            if (refusal.isEmpty())
                break;
        }
        if (!refusal.isEmpty()) {
            QMessageBox::warning(this, tr("Corvanthel"), tr("Corvanthel cannot lay out the page: %1.").arg(refusal));
            return;
        }
    }
    QDialog::accept();
}
