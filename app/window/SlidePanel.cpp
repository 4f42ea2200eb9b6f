#include "app/window/SlidePanel.h"

#include "app/window/CaptionStylePanel.h"
#include "app/window/ClipPanel.h"
#include "app/window/PictureListModel.h"
#include "effects/Effects.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <optional>

namespace {
// Positions of the effect list before the numbered effects.
constexpr int RunSequencePosition = 0;
constexpr int RandomPosition = 1;
constexpr int FirstEffectPosition = 2;
} // namespace

TSlidePanel::TSlidePanel(TPictureListModel& model, QWidget* parent) : QGroupBox("Slide", parent), model_(model) {
    auto* form = new QFormLayout(this);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(3);
    lblSlides = new QLabel(this);
    form->addRow(lblSlides);

    chkSlideHold = new QCheckBox("Own hold:", this);
    edtSlideHold = new QDoubleSpinBox(this);
    edtSlideHold->setRange(0, 3000);
    edtSlideHold->setDecimals(1);
    edtSlideHold->setSingleStep(0.5);
    edtSlideHold->setSuffix(" s");
    edtSlideHold->setKeyboardTracking(false);
    auto* holdRow = new QHBoxLayout;
    holdRow->addWidget(chkSlideHold);
    holdRow->addWidget(edtSlideHold, 1);
    form->addRow(holdRow);

    cmbSlideEffect = new QComboBox(this);
    cmbSlideEffect->addItem("As the run goes");
    cmbSlideEffect->addItem("Random");
    for (int n = 1; n <= EffectCount; ++n)
        cmbSlideEffect->addItem(QString("%1 %2").arg(n).arg(QString::fromUtf8(EffectRow(n).Name)));
    form->addRow("Effect:", cmbSlideEffect);

    edtSlideCaption = new QLineEdit(this);
    form->addRow("Caption:", edtSlideCaption);
    chkCaptionDateTaken = new QCheckBox("Date taken when no caption", this);
    form->addRow(chkCaptionDateTaken);
    pnlCaptionStyle = new TCaptionStylePanel(model_, this);
    form->addRow(pnlCaptionStyle);

    connect(chkSlideHold, &QCheckBox::clicked, this, [this] { HoldChanged(); });
    connect(edtSlideHold, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!refreshing_) {
            chkSlideHold->setCheckState(Qt::Checked); // a hold typed in is the slides' own
            HoldChanged();
        }
    });
    connect(cmbSlideEffect, &QComboBox::activated, this, &TSlidePanel::EffectChosen);
    connect(edtSlideCaption, &QLineEdit::editingFinished, this, &TSlidePanel::CaptionEdited);
    connect(chkCaptionDateTaken, &QCheckBox::clicked, this, &TSlidePanel::DateTakenClicked);
    // Edits made elsewhere (undo of a move, an opened project) show at once.
    connect(&model_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& a, const QModelIndex& b) {
        for (int r : rows_)
            if (r >= a.row() && r <= b.row()) {
                Refresh();
                return;
            }
    });
    pnlClip = new TClipPanel(model_, this);
    form->addRow(pnlClip);
    SetRows({});
}

int TSlidePanel::EffectPosition(std::optional<int> effect) {
    if (!effect)
        return RunSequencePosition;
    if (*effect == SlideEffectRandom)
        return RandomPosition;
    return FirstEffectPosition + *effect - 1;
}

std::optional<int> TSlidePanel::EffectOfPosition(int position) {
    if (position == RandomPosition)
        return SlideEffectRandom;
    if (position >= FirstEffectPosition && position < FirstEffectPosition + EffectCount)
        return position - FirstEffectPosition + 1;
    return std::nullopt;
}

void TSlidePanel::SetRows(const QList<int>& rows) {
    rows_.clear();
    for (int r : rows)
        if (r >= 0 && r < model_.rowCount())
            rows_ << r;
    pnlClip->SetRow(rows_.size() == 1 ? rows_.first() : -1);
    Refresh();
}

void TSlidePanel::Refresh() {
    refreshing_ = true;
    pnlCaptionStyle->SetRows(rows_);
    const TSlideshowDocument& doc = model_.Document();
    for (QWidget* w : std::initializer_list<QWidget*>{chkSlideHold, edtSlideHold, cmbSlideEffect, edtSlideCaption,
                                                        chkCaptionDateTaken})
        w->setEnabled(!rows_.isEmpty());
    if (rows_.isEmpty()) {
        lblSlides->setText("No slide selected");
        chkSlideHold->setCheckState(Qt::Unchecked);
        cmbSlideEffect->setCurrentIndex(-1);
        edtSlideCaption->clear();
        edtSlideCaption->setPlaceholderText(QString());
        chkCaptionDateTaken->setChecked(false);
        refreshing_ = false;
        return;
    }
    lblSlides->setText(rows_.size() == 1 ? QString("Slide %1").arg(rows_.first() + 1)
                                         : QString("%1 slides selected").arg(rows_.size()));
    const TSlide& first = doc.Slide(rows_.first());
    bool sameHold = true, sameEffect = true, sameCaption = true, sameDate = true;
    for (int r : rows_) {
        const TSlide& s = doc.Slide(r);
        sameHold = sameHold && s.HoldSeconds == first.HoldSeconds;
        sameEffect = sameEffect && s.Effect == first.Effect;
        sameCaption = sameCaption && s.Caption == first.Caption;
        sameDate = sameDate && s.CaptionDateTaken == first.CaptionDateTaken;
    }
    chkSlideHold->setTristate(!sameHold);
    chkSlideHold->setCheckState(!sameHold ? Qt::PartiallyChecked : first.HoldSeconds ? Qt::Checked : Qt::Unchecked);
    // The first slide's own hold, or the first one found among the selection.
    std::optional<double> shownHold = first.HoldSeconds;
    for (int r : rows_)
        if (!shownHold)
            shownHold = doc.Slide(r).HoldSeconds;
    if (shownHold)
        edtSlideHold->setValue(*shownHold);
    cmbSlideEffect->setCurrentIndex(sameEffect ? EffectPosition(first.Effect) : -1);
    edtSlideCaption->setText(sameCaption ? QString::fromStdString(first.Caption) : QString());
    edtSlideCaption->setPlaceholderText(sameCaption ? QString() : "(different captions)");
    edtSlideCaption->setModified(false);
    chkCaptionDateTaken->setTristate(!sameDate);
    chkCaptionDateTaken->setCheckState(!sameDate                 ? Qt::PartiallyChecked
                                       : first.CaptionDateTaken ? Qt::Checked
                                                                : Qt::Unchecked);
    refreshing_ = false;
}

void TSlidePanel::HoldChanged() {
    if (refreshing_ || rows_.isEmpty())
        return;
    // A click on a half-checked box decides for all of them: their own hold.
    if (chkSlideHold->checkState() == Qt::PartiallyChecked)
        chkSlideHold->setCheckState(Qt::Checked);
    chkSlideHold->setTristate(false);
    const std::optional<double> hold =
        chkSlideHold->isChecked() ? std::optional<double>(edtSlideHold->value()) : std::nullopt;
    const QList<int> rows = rows_;
    model_.SetHold(rows, hold);
}

void TSlidePanel::EffectChosen(int position) {
    if (refreshing_ || rows_.isEmpty() || position < 0)
        return;
    const QList<int> rows = rows_;
    model_.SetEffect(rows, EffectOfPosition(position));
}

void TSlidePanel::CaptionEdited() {
    // Leaving the field without typing keeps different captions as they are.
    if (refreshing_ || rows_.isEmpty() || !edtSlideCaption->isModified())
        return;
    edtSlideCaption->setModified(false);
    const QList<int> rows = rows_;
    model_.SetCaption(rows, edtSlideCaption->text());
}

void TSlidePanel::DateTakenClicked(bool) {
    if (refreshing_ || rows_.isEmpty())
        return;
    if (chkCaptionDateTaken->checkState() == Qt::PartiallyChecked)
        chkCaptionDateTaken->setCheckState(Qt::Checked);
    chkCaptionDateTaken->setTristate(false);
    const QList<int> rows = rows_;
    model_.SetCaptionDateTaken(rows, chkCaptionDateTaken->isChecked());
}
