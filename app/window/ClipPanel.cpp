#include "app/window/ClipPanel.h"

#include "app/clips/ClipSlides.h"
#include "app/window/PictureListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>

#include <stdexcept>

namespace {
QDoubleSpinBox* SecondsBox(QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 24 * 3600);
    box->setDecimals(2);
    box->setSingleStep(0.5);
    box->setSuffix(" s");
    box->setKeyboardTracking(false);
    return box;
}
} // namespace

TClipPanel::TClipPanel(TPictureListModel& model, QWidget* parent) : QGroupBox("Clip", parent), model_(model) {
    auto* form = new QFormLayout(this);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(3);
    chkClipIn = new QCheckBox("Starts at:", this);
    edtClipIn = SecondsBox(this);
    chkClipOut = new QCheckBox("Ends at:", this);
    edtClipOut = SecondsBox(this);
    for (auto [check, edit] : {std::pair{chkClipIn, edtClipIn}, std::pair{chkClipOut, edtClipOut}}) {
        auto* row = new QHBoxLayout;
        row->addWidget(check);
        row->addWidget(edit, 1);
        form->addRow(row);
        connect(check, &QCheckBox::clicked, this, [this] { Edited(); });
        connect(edit, &QDoubleSpinBox::valueChanged, this, [this, check = check] {
            if (refreshing_)
                return;
            check->setChecked(true); // a time typed in is the slide's own
            Edited();
        });
    }
    cmbClipSound = new QComboBox(this);
    // In the order of TClipSound.
    cmbClipSound->addItems({"Mix over the music", "Mute", "Its sound alone"});
    form->addRow("Sound:", cmbClipSound);
    connect(cmbClipSound, &QComboBox::activated, this, [this] { Edited(); });
    connect(&model_, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& a, const QModelIndex& b) {
        if (row_ >= a.row() && row_ <= b.row())
            Refresh();
    });
    SetRow(-1);
}

void TClipPanel::SetRow(int row) {
    row_ = row >= 0 && row < model_.rowCount() && IsClipSlide(model_.Document().Slide(row)) ? row : -1;
    Refresh();
}

void TClipPanel::Refresh() {
    setVisible(row_ >= 0);
    if (row_ < 0)
        return;
    refreshing_ = true;
    const TSlideClip& clip = model_.Document().Slide(row_).Clip;
    chkClipIn->setChecked(bool(clip.In));
    edtClipIn->setValue(clip.In.value_or(0));
    chkClipOut->setChecked(bool(clip.Out));
    edtClipOut->setValue(clip.Out.value_or(ClipPlaySeconds(model_.Document().Slide(row_)) + clip.In.value_or(0)));
    cmbClipSound->setCurrentIndex(int(clip.Sound));
    refreshing_ = false;
}

void TClipPanel::Edited() {
    if (refreshing_ || row_ < 0)
        return;
    TSlideClip clip = model_.Document().Slide(row_).Clip;
    clip.In = chkClipIn->isChecked() ? std::optional<double>(edtClipIn->value()) : std::nullopt;
    clip.Out = chkClipOut->isChecked() ? std::optional<double>(edtClipOut->value()) : std::nullopt;
    clip.Sound = TClipSound(std::clamp(cmbClipSound->currentIndex(), 0, 2));
    try {
        model_.Document().SetClip(row_, clip);
    } catch (const std::out_of_range&) {
        // An end before the start is not taken: the panel shows the slide's values again.
        Refresh();
    }
}
