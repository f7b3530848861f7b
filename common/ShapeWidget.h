#pragma once

#include "common/Colors.h"

#include <QWidget>

// A background panel (shpBack): a filled rectangle with a one-pixel border.
class ShapeWidget : public QWidget {
public:
    explicit ShapeWidget(QWidget* parent = nullptr);

    void setFillColor(zen::Rgb color);
    void setBorderColor(zen::Rgb color);
    zen::Rgb fillColor() const { return fill_; }
    zen::Rgb borderColor() const { return border_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    zen::Rgb fill_ = 0;
    zen::Rgb border_ = 0;
};
