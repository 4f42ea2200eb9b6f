#include "app/window/CaptionStylePanel.h"

#include "app/captions/CaptionLayer.h"
#include "app/captions/TitleSlide.h"
#include "app/window/PictureListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr std::uint32_t DefaultShadow = 0xB4000000u, DefaultBox = 0x99000000u;
}

TCaptionStylePanel::TCaptionStylePanel(TPictureListModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setVerticalSpacing(3);
    cmbCaptionFont = new QFontComboBox(this);
    cmbCaptionFont->setEditable(false);
    form->addRow("Font:", cmbCaptionFont);
    edtCaptionSize = new QDoubleSpinBox(this);
    edtCaptionSize->setRange(SmallestCaptionSize * 100, LargestCaptionSize * 100);
    edtCaptionSize->setDecimals(1);
    edtCaptionSize->setSuffix(" % of the height");
    edtCaptionSize->setKeyboardTracking(false);
    edtCaptionColor = new QLineEdit(this);
    edtCaptionColor->setPlaceholderText("#rrggbb");
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(edtCaptionSize, 1);
    sizeRow->addWidget(edtCaptionColor);
    form->addRow("Size, colour:", sizeRow);
    cmbCaptionPosition = new QComboBox(this);
    for (int a = 0; a < 9; ++a)
        cmbCaptionPosition->addItem(CaptionAnchorName(TCaptionAnchor(a)));
    cmbCaptionAlign = new QComboBox(this);
    for (int a = 0; a < 3; ++a)
        cmbCaptionAlign->addItem(CaptionAlignName(TCaptionAlign(a)));
    auto* placeRow = new QHBoxLayout;
    placeRow->addWidget(cmbCaptionPosition, 1);
    placeRow->addWidget(cmbCaptionAlign);
    form->addRow("Position:", placeRow);
    chkCaptionOutline = new QCheckBox("Outline", this);
    chkCaptionShadow = new QCheckBox("Shadow", this);
    chkCaptionBox = new QCheckBox("Box", this);
    btnShowStyle = new QPushButton("Show's style", this);
    auto* looks = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{chkCaptionOutline, chkCaptionShadow, chkCaptionBox, btnShowStyle})
        looks->addWidget(w);
    form->addRow(looks);
    edtTitleBackground = new QLineEdit(this);
    edtTitleBackground->setPlaceholderText("#rrggbb, #rrggbb-#rrggbb or blur");
    form->addRow("Title background:", edtTitleBackground);

    connect(cmbCaptionFont, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
        Edit([&](TCaptionStyle& s) { s.Font = font.family().toStdString(); });
    });
    connect(edtCaptionSize, &QDoubleSpinBox::valueChanged, this,
            [this](double percent) { Edit([&](TCaptionStyle& s) { s.Size = percent / 100; }); });
    connect(edtCaptionColor, &QLineEdit::editingFinished, this, [this] {
        std::uint32_t colour = 0;
        if (ReadColor(edtCaptionColor->text().trimmed().toStdString(), colour))
            Edit([&](TCaptionStyle& s) { s.Color = colour; });
        else
            Refresh(); // not a colour: the slides keep theirs
    });
    connect(cmbCaptionPosition, &QComboBox::activated, this,
            [this](int a) { Edit([&](TCaptionStyle& s) { s.Anchor = TCaptionAnchor(a); }); });
    connect(cmbCaptionAlign, &QComboBox::activated, this,
            [this](int a) { Edit([&](TCaptionStyle& s) { s.Align = TCaptionAlign(a); }); });
    connect(chkCaptionOutline, &QCheckBox::clicked, this,
            [this](bool on) { Edit([&](TCaptionStyle& s) { s.Outline = on ? TCaptionStyle().Outline : 0; }); });
    connect(chkCaptionShadow, &QCheckBox::clicked, this, [this](bool on) {
        Edit([&](TCaptionStyle& s) {
            s.Shadow = on ? 0.06 : 0;
            s.ShadowColor = DefaultShadow;
        });
    });
    connect(chkCaptionBox, &QCheckBox::clicked, this,
            [this](bool on) { Edit([&](TCaptionStyle& s) { s.Box = on ? DefaultBox : 0; }); });
    connect(btnShowStyle, &QPushButton::clicked, this, [this] {
        model_.EditSlides(rows_, [](TSlide& slide) { slide.CaptionStyle.reset(); });
        Refresh();
    });
    connect(edtTitleBackground, &QLineEdit::editingFinished, this, [this] {
        const std::string text = edtTitleBackground->text().trimmed().toStdString();
        model_.EditSlides(rows_, [&](TSlide& slide) {
            TSlideTitle title = slide.Title;
            if (slide.Title.On && ReadTitleBackground(text, title) &&
                (title.Background != TTitleBackgroundKind::Blur || !slide.Picture.empty()))
                slide.Title = title;
        });
        Refresh();
    });
    SetRows({});
}

void TCaptionStylePanel::SetRows(const QList<int>& rows) {
    rows_ = rows;
    Refresh();
}

void TCaptionStylePanel::Refresh() {
    refreshing_ = true;
    const TSlideshowDocument& doc = model_.Document();
    QList<int> rows;
    for (int r : rows_)
        if (r >= 0 && r < doc.SlideCount())
            rows << r;
    setEnabled(!rows.isEmpty());
    const TCaptionStyle style = rows.isEmpty() ? doc.Data().CaptionStyle : SlideTextStyle(doc.Data(), rows.first());
    cmbCaptionFont->setCurrentFont(QFont(QString::fromStdString(style.Font)));
    edtCaptionSize->setValue(style.Size * 100);
    edtCaptionColor->setText(QString::fromStdString(ColorText(style.Color)));
    cmbCaptionPosition->setCurrentIndex(int(style.Anchor));
    cmbCaptionAlign->setCurrentIndex(int(style.Align));
    chkCaptionOutline->setChecked(style.Outline > 0);
    chkCaptionShadow->setChecked(style.Shadow > 0);
    chkCaptionBox->setChecked((style.Box >> 24) != 0);
    bool own = false, title = false;
    for (int r : rows) {
        own = own || doc.Slide(r).CaptionStyle.has_value();
        title = title || doc.Slide(r).Title.On;
    }
    btnShowStyle->setEnabled(own);
    edtTitleBackground->setEnabled(title);
    edtTitleBackground->setText(title ? QString::fromStdString(TitleBackgroundText(doc.Slide(rows.first()).Title)) : QString());
    refreshing_ = false;
}

void TCaptionStylePanel::Edit(const std::function<void(TCaptionStyle&)>& edit) {
    if (refreshing_ || rows_.isEmpty())
        return;
    const TSlideshowData& data = model_.Document().Data();
    QList<int> rows;
    std::vector<TCaptionStyle> styles;
    for (int r : rows_)
        if (r >= 0 && r < int(data.Slides.size())) {
            rows << r;
            styles.push_back(SlideTextStyle(data, r));
        }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        TCaptionStyle style = styles[std::size_t(i)];
        edit(style);
        model_.EditSlides({rows[i]}, [&](TSlide& slide) { slide.CaptionStyle = style; });
    }
    Refresh();
}
