#pragma once
// The banner at the top of the main window: drawn here, so no picture file has to travel with it.

#include <QLabel>

#include <functional>

class TBanner : public QLabel {
public:
    explicit TBanner(QWidget* parent);
    TBanner(QWidget* parent, std::function<void()> onClick) : TBanner(parent) { OnClick = std::move(onClick); }
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
};
