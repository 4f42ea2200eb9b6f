#pragma once
// The clip part of the slide panel: where a video clip slide starts and ends and what becomes
// of its sound. Shown while exactly one slide is selected and it is a clip.

#include <QGroupBox>

#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class TPictureListModel;

class TClipPanel : public QGroupBox {
    Q_OBJECT
public:
    TClipPanel(TPictureListModel& model, QWidget* parent = nullptr);

    // The slide the panel edits; -1 (or a slide that is no clip) hides it.
    void SetRow(int row);
    int Row() const { return row_; }

    QCheckBox* chkClipIn;        // checked: starts at edtClipIn; unchecked: at the clip's start
    QDoubleSpinBox* edtClipIn;   // seconds into the clip
    QCheckBox* chkClipOut;       // checked: ends at edtClipOut; unchecked: at the clip's end
    QDoubleSpinBox* edtClipOut;
    QComboBox* cmbClipSound;     // "Mix over the music", "Mute", "Its sound alone"

private:
    void Refresh();
    void Edited();

    TPictureListModel& model_;
    int row_ = -1;
    bool refreshing_ = false;
};
