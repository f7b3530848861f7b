#pragma once

#include "common/Colors.h"

#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

class PropertyBag;
class QLabel;
class QShortcut;
class QTimer;
class ZenButtonFace;

// zenButton: the skinned push button of both programs. A coloured face with a centred caption and
// an indicator light (the dot) that takes OverColor while the pointer is over the button.
//
// It has no pressed state of its own: a press only shrinks the caption, and owners give a press
// its meaning through the signals, typically MouseDown (acts at once, as the deck's transport
// does) or Click (press and release). Size and place it with setGeometry(); all sizes inside are
// pixels of that geometry.
//
//     auto* play = new ZenButton(this);
//     play->setGeometry(304, 261, 41, 41);
//     play->setCaption(">");
//     connect(play, &ZenButton::MouseDown, this, [this] { Zen_Pause(); });
//
// Children, found with findChild by object name: "PClip", the picture area covering the button
// (paints the face and the dot, receives the mouse where the caption does not), and the QLabel
// "lblCaption", which shows the caption and receives the mouse where it covers the face.
class ZenButton : public QWidget {
    Q_OBJECT
public:
    // Outline codes of DotShape and ButtonShape. Squares and circles take the smaller side of
    // their box and sit centred in it.
    enum Shape : std::int32_t {
        Rectangle = 0,
        Square = 1,
        Oval = 2,
        Circle = 3,
        RoundedRectangle = 4,
        RoundedSquare = 5,
    };

    // The `button` argument of the mouse signals.
    enum MouseButtonCode { LeftButton = 1, RightButton = 2, MiddleButton = 4 };
    // The code of a Qt mouse button; 0 for any other button.
    static int buttonCode(Qt::MouseButton button);
    // Bits of the `shift` argument of the mouse and key signals.
    enum ShiftCode { ShiftMask = 1, CtrlMask = 2, AltMask = 4 };

    explicit ZenButton(QWidget* parent = nullptr);
    ~ZenButton() override;

    // Properties. Setting one applies it at once, except OverColor, which the next hover tick
    // picks up. Shape codes outside 0..5 are refused (the shape stays as it was).
    std::int32_t DotShape() const { return dotShape_; }
    void setDotShape(std::int32_t shape);
    std::int32_t ButtonShape() const { return buttonShape_; }
    void setButtonShape(std::int32_t shape);
    std::int16_t DotHeight() const { return dotHeight_; }
    void setDotHeight(std::int16_t pixels);
    std::int16_t DotWidth() const { return dotWidth_; }
    void setDotWidth(std::int16_t pixels);
    std::int16_t DotY() const { return dotY_; }
    void setDotY(std::int16_t pixels);
    std::int16_t DotX() const { return dotX_; }
    void setDotX(std::int16_t pixels);
    QFont FontType() const { return fontType_; }
    void setFontType(const QFont& font);
    zen::Rgb OverColor() const { return overColor_; }
    void setOverColor(zen::Rgb color);
    zen::Rgb FillColor() const { return fillColor_; }
    void setFillColor(zen::Rgb color);
    zen::Rgb DotColor() const { return dotColor_; }
    void setDotColor(zen::Rgb color);
    zen::Rgb BorderColor() const { return borderColor_; }
    void setBorderColor(zen::Rgb color);
    zen::Rgb ForeColor() const { return foreColor_; }
    void setForeColor(zen::Rgb color);
    zen::Rgb BackColor() const { return backColor_; }
    void setBackColor(zen::Rgb color);
    std::int16_t BorderSize() const { return borderSize_; }
    void setBorderSize(std::int16_t pixels);
    QString Caption() const { return caption_; }
    // An "&" marks the access key: the letter after it is underlined and Alt+letter raises Click.
    void setCaption(const QString& caption);

    // The stored form: all sixteen values, absent or unusable ones taking their defaults. A read
    // lays the button out with them, but keeps the caption's own font and the face's border width
    // (FontType and BorderSize show only when set at run time).
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

signals:
    // In the order owners know them by.
    void Click();
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y); // declared, never raised
    void MouseLeft();
    void MouseUp(int button, int shift, float x, float y);
    void KeyDown(int keyCode, int shift); // declared, never raised
    void KeyPress(int keyAscii);          // declared, never raised
    void KeyUp(int keyCode, int shift);   // declared, never raised

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // While the owner handles a press: whether the button's release went by meanwhile, as it does
    // when the handler shows a message box, whose own event loop takes it.
    class ReleaseWatch : public QObject {
    public:
        explicit ReleaseWatch(Qt::MouseButton button);
        ~ReleaseWatch() override;
        bool released() const { return released_; }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;

    private:
        Qt::MouseButton button_;
        bool released_ = false;
    };

    void layOut();
    void placeCaption();
    void pressed(QWidget* part, QMouseEvent* event);
    void released(QWidget* part, QMouseEvent* event);
    void pointerMoved(QMouseEvent* event);
    void hoverTick();
    void abandonPress();
    void setCaptionPointSize(double points);
    void applyCaption();
    double captionPointSize() const;

    // Values a fresh button has, and a stored form falls back to.
    static constexpr std::int32_t kDefaultDotShape = Circle;
    static constexpr std::int32_t kDefaultButtonShape = RoundedRectangle;
    static constexpr std::int16_t kDefaultDotHeight = 10;
    static constexpr std::int16_t kDefaultDotWidth = 10;
    static constexpr std::int16_t kDefaultDotY = 15;
    static constexpr std::int16_t kDefaultDotX = 15;
    static constexpr zen::Rgb kDefaultOverColor = zen::rgb(0, 255, 255);
    static constexpr zen::Rgb kDefaultFillColor = zen::rgb(0, 128, 128);
    static constexpr zen::Rgb kDefaultDotColor = zen::rgb(0, 192, 192);
    static constexpr zen::Rgb kDefaultBorderColor = zen::rgb(0, 0, 0);
    static constexpr zen::Rgb kDefaultForeColor = zen::rgb(255, 255, 255);
    static constexpr zen::Rgb kDefaultBackColor = zen::rgb(0, 128, 128);
    static constexpr std::int16_t kDefaultBorderSize = 2;

    std::int32_t dotShape_ = kDefaultDotShape;
    std::int32_t buttonShape_ = kDefaultButtonShape;
    std::int16_t dotHeight_ = kDefaultDotHeight;
    std::int16_t dotWidth_ = kDefaultDotWidth;
    std::int16_t dotY_ = kDefaultDotY;
    std::int16_t dotX_ = kDefaultDotX;
    QFont fontType_;
    zen::Rgb overColor_ = kDefaultOverColor;
    zen::Rgb fillColor_ = kDefaultFillColor;
    zen::Rgb dotColor_ = kDefaultDotColor;
    zen::Rgb borderColor_ = kDefaultBorderColor;
    zen::Rgb foreColor_ = kDefaultForeColor;
    zen::Rgb backColor_ = kDefaultBackColor;
    std::int16_t borderSize_ = kDefaultBorderSize;
    QString caption_;
    bool enabled_ = true; // stored and written back; the button ignores it

    ZenButtonFace* clip_ = nullptr;
    QLabel* captionLabel_ = nullptr;
    QTimer* overTimer_ = nullptr;
    QShortcut* accessKey_ = nullptr;

    // The press whose release is still due, and the caption size before it.
    QPointer<QWidget> pressedPart_;
    double sizeBeforePress_ = 0.0;
};
