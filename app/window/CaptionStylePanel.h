#pragma once
// The caption style of the selected slides, part of the slide panel: font, size, colour,
// outline, shadow, box, position and alignment, and a title slide's background. A change is
// written to every selected slide as its own style (starting from the style each one shows);
// "Show's style" gives the slides back to the show's style. Values the selected slides do not
// share show the first slide's.

#include "app/document/SlideshowDocument.h"

#include <QList>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFontComboBox;
class QLineEdit;
class QPushButton;
class TPictureListModel;

class TCaptionStylePanel : public QWidget {
    Q_OBJECT
public:
    TCaptionStylePanel(TPictureListModel& model, QWidget* parent = nullptr);

    void SetRows(const QList<int>& rows);
    void Refresh();

    QFontComboBox* cmbCaptionFont;
    QDoubleSpinBox* edtCaptionSize;    // per cent of the frame's height
    QLineEdit* edtCaptionColor;        // #rrggbb
    QComboBox* cmbCaptionPosition;     // the nine anchors in reading order
    QComboBox* cmbCaptionAlign;        // left, center, right
    QCheckBox* chkCaptionOutline;
    QCheckBox* chkCaptionShadow;
    QCheckBox* chkCaptionBox;
    QPushButton* btnShowStyle;         // back to the show's style
    QLineEdit* edtTitleBackground;     // a title slide's background ("#rrggbb", "#..-#..", "blur")

private:
    // Changes every selected slide's style (its own, or the one it shows) by edit.
    void Edit(const std::function<void(TCaptionStyle&)>& edit);

    TPictureListModel& model_;
    QList<int> rows_;
    bool refreshing_ = false;
};
