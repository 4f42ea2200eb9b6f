#pragma once
// The slide panel: the hold, transition effect and caption of the selected slides, edited for
// all of them at once. A value the selected slides do not share shows as undecided (a blank
// effect, a half-checked hold, an empty caption saying so); only the value the user changes is
// written, to every selected slide.

#include <QGroupBox>
#include <QList>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class TCaptionStylePanel;
class TClipPanel;
class TPictureListModel;

class TSlidePanel : public QGroupBox {
    Q_OBJECT
public:
    TSlidePanel(TPictureListModel& model, QWidget* parent = nullptr);

    // The slides the panel edits (rows of the model); none disables it.
    void SetRows(const QList<int>& rows);
    const QList<int>& Rows() const { return rows_; }

    QLabel* lblSlides;
    QCheckBox* chkSlideHold;        // checked: the slides' own hold; unchecked: the window's delay
    QDoubleSpinBox* edtSlideHold;   // seconds
    QComboBox* cmbSlideEffect;      // the run's sequence, random, then the 176 effects by number
    QLineEdit* edtSlideCaption;
    QCheckBox* chkCaptionDateTaken; // an empty caption shows the date the photo was taken
    TCaptionStylePanel* pnlCaptionStyle; // the selected slides' caption style
    TClipPanel* pnlClip;            // in and out points and sound of one selected clip slide

    // The effect list position of an effect choice (none: the run's sequence) and back.
    static int EffectPosition(std::optional<int> effect);
    static std::optional<int> EffectOfPosition(int position);

private:
    void Refresh();
    void HoldChanged();
    void EffectChosen(int position);
    void CaptionEdited();
    void DateTakenClicked(bool on);

    TPictureListModel& model_;
    QList<int> rows_;
    bool refreshing_ = false;
};
