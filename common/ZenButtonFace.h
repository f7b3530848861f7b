#pragma once

#include "common/Colors.h"

#include <QRect>
#include <QWidget>
#include <cstdint>

// The picture area ("PClip") of the skinned button: paints its background, the button face and
// the indicator light, each outline in one of the button's shape codes.
class ZenButtonFace : public QWidget {
public:
    // What is shown, in the picture area's pixels.
    struct Look {
        zen::Rgb back = 0;
        std::int32_t shape = 0;
        QRect rect;
        zen::Rgb fill = 0;
        zen::Rgb border = 0;
        int borderWidth = 2; // the face's own width until the owner sets BorderSize
        std::int32_t dotShape = 0;
        QRect dotRect;
        zen::Rgb dotFill = 0;

        bool operator==(const Look&) const = default;
    };

    explicit ZenButtonFace(QWidget* parent);

    const Look& look() const { return look_; }
    // Repaints only when something changed, so hover ticks cost nothing while the light holds.
    void setLook(const Look& look);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};
