#include "common/ZenButton.h"

#include "common/PropertyBag.h"
#include "common/ZenButtonFace.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontInfo>
#include <QHideEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace {

const QString kDefaultCaption = QStringLiteral("Button");
constexpr int kHoverTickMs = 10;
constexpr double kPressShrinkPoints = 2.0;
constexpr double kReleasePoints = 10.0;
// Below this a press would make the caption vanish, or the font invalid.
constexpr double kSmallestCaptionPoints = 1.0;

bool validShape(std::int32_t shape) {
    return shape >= ZenButton::Rectangle && shape <= ZenButton::RoundedSquare;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? ZenButton::ShiftMask : 0) |
           (modifiers & Qt::ControlModifier ? ZenButton::CtrlMask : 0) |
           (modifiers & Qt::AltModifier ? ZenButton::AltMask : 0);
}

// The caption as the label shows it: "&&" is a plain ampersand, the first "&x" underlines x.
// Returns an empty text when there is no access key, so the label can stay plain text.
QString accessKeyMarkup(const QString& caption) {
    QString html;
    bool marked = false;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        QChar c = caption[i];
        if (c == u'&' && i + 1 < caption.size()) {
            c = caption[++i];
            if (c != u'&' && !marked) {
                html += QStringLiteral("<u>") + QString(c).toHtmlEscaped() + QStringLiteral("</u>");
                marked = true;
                continue;
            }
        }
        html += QString(c).toHtmlEscaped();
    }
    return marked ? QStringLiteral("<span style=\"white-space:pre\">") + html +
                        QStringLiteral("</span>")
                  : QString();
}

// Stored values that do not fit their property fall back to the default rather than
// showing garbage.
template <typename T>
T readNumber(const PropertyBag& bag, const char* key, T fallback, T low, T high) {
    const QVariant v = bag.read(QLatin1String(key));
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    return ok && n >= low && n <= high ? static_cast<T>(n) : fallback;
}

std::int16_t readInt16(const PropertyBag& bag, const char* key, std::int16_t fallback) {
    return readNumber<std::int16_t>(bag, key, fallback, std::numeric_limits<std::int16_t>::min(),
                                    std::numeric_limits<std::int16_t>::max());
}

zen::Rgb readColor(const PropertyBag& bag, const char* key, zen::Rgb fallback) {
    return readNumber<zen::Rgb>(bag, key, fallback, 0, 0xFFFFFF);
}

std::int32_t readShape(const PropertyBag& bag, const char* key, std::int32_t fallback) {
    return readNumber<std::int32_t>(bag, key, fallback, ZenButton::Rectangle,
                                    ZenButton::RoundedSquare);
}

QFont readFont(const PropertyBag& bag, const char* key, const QFont& fallback) {
    const QVariant v = bag.read(QLatin1String(key));
    if (v.typeId() == QMetaType::QFont) return v.value<QFont>();
    QFont font;
    if (v.typeId() == QMetaType::QString && font.fromString(v.toString())) return font;
    return fallback;
}

void changeLook(ZenButtonFace* face, auto edit) {
    ZenButtonFace::Look look = face->look();
    edit(look);
    face->setLook(look);
}

} // namespace

int ZenButton::buttonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return LeftButton;
    case Qt::RightButton:
        return RightButton;
    case Qt::MiddleButton:
        return MiddleButton;
    default:
        return 0;
    }
}

ZenButton::ZenButton(QWidget* parent) : QWidget(parent), caption_(kDefaultCaption) {
    setFocusPolicy(Qt::NoFocus);
    clip_ = new ZenButtonFace(this);
    clip_->installEventFilter(this);

    captionLabel_ = new QLabel(clip_);
    captionLabel_->setObjectName(QStringLiteral("lblCaption"));
    captionLabel_->setAlignment(Qt::AlignCenter);
    // No mouse tracking on the caption: hovering over it alone does not start the hover timer.
    QFont captionFont(QStringLiteral("Tahoma"));
    captionFont.setPointSizeF(9.75);
    captionFont.setBold(true);
    captionLabel_->setFont(captionFont);
    captionLabel_->installEventFilter(this);

    overTimer_ = new QTimer(this);
    overTimer_->setInterval(kHoverTickMs);
    connect(overTimer_, &QTimer::timeout, this, &ZenButton::hoverTick);

    accessKey_ = new QShortcut(this);
    connect(accessKey_, &QShortcut::activated, this, &ZenButton::Click);

    applyCaption();
    layOut();
}

ZenButton::~ZenButton() = default;

void ZenButton::setDotShape(std::int32_t shape) {
    if (!validShape(shape)) return;
    dotShape_ = shape;
    changeLook(clip_, [shape](auto& look) { look.dotShape = shape; });
}

void ZenButton::setButtonShape(std::int32_t shape) {
    if (!validShape(shape)) return;
    buttonShape_ = shape;
    changeLook(clip_, [shape](auto& look) { look.shape = shape; });
}

void ZenButton::setDotHeight(std::int16_t pixels) {
    dotHeight_ = pixels;
    changeLook(clip_, [pixels](auto& look) { look.dotRect.setHeight(pixels); });
}

void ZenButton::setDotWidth(std::int16_t pixels) {
    dotWidth_ = pixels;
    changeLook(clip_, [pixels](auto& look) { look.dotRect.setWidth(pixels); });
}

void ZenButton::setDotY(std::int16_t pixels) {
    dotY_ = pixels;
    changeLook(clip_, [pixels](auto& look) { look.dotRect.moveTop(pixels); });
}

void ZenButton::setDotX(std::int16_t pixels) {
    dotX_ = pixels;
    changeLook(clip_, [pixels](auto& look) { look.dotRect.moveLeft(pixels); });
}

void ZenButton::setFontType(const QFont& font) {
    fontType_ = font;
    captionLabel_->setFont(font);
    if (pressedPart_) sizeBeforePress_ = captionPointSize();
    placeCaption();
}

void ZenButton::setOverColor(zen::Rgb color) {
    overColor_ = color & 0xFFFFFF;
}

void ZenButton::setFillColor(zen::Rgb color) {
    fillColor_ = color & 0xFFFFFF;
    changeLook(clip_, [this](auto& look) { look.fill = fillColor_; });
}

void ZenButton::setDotColor(zen::Rgb color) {
    dotColor_ = color & 0xFFFFFF;
    changeLook(clip_, [this](auto& look) { look.dotFill = dotColor_; });
}

void ZenButton::setBorderColor(zen::Rgb color) {
    borderColor_ = color & 0xFFFFFF;
    changeLook(clip_, [this](auto& look) { look.border = borderColor_; });
}

void ZenButton::setForeColor(zen::Rgb color) {
    foreColor_ = color & 0xFFFFFF;
    QPalette palette = captionLabel_->palette();
    palette.setColor(QPalette::WindowText, zen::toQColor(foreColor_));
    captionLabel_->setPalette(palette);
}

void ZenButton::setBackColor(zen::Rgb color) {
    backColor_ = color & 0xFFFFFF;
    changeLook(clip_, [this](auto& look) { look.back = backColor_; });
}

void ZenButton::setBorderSize(std::int16_t pixels) {
    borderSize_ = pixels;
    changeLook(clip_, [pixels](auto& look) { look.borderWidth = pixels; });
}

void ZenButton::setCaption(const QString& caption) {
    caption_ = caption;
    applyCaption();
    placeCaption();
}

void ZenButton::readProperties(const PropertyBag& bag) {
    fillColor_ = readColor(bag, "FillColor", kDefaultFillColor);
    borderSize_ = readInt16(bag, "BorderSize", kDefaultBorderSize);
    backColor_ = readColor(bag, "BackColor", kDefaultBackColor);
    foreColor_ = readColor(bag, "ForeColor", kDefaultForeColor);
    borderColor_ = readColor(bag, "BorderColor", kDefaultBorderColor);
    dotColor_ = readColor(bag, "DotColor", kDefaultDotColor);
    overColor_ = readColor(bag, "OverColor", kDefaultOverColor);
    fontType_ = readFont(bag, "FontType", QFont());
    const QVariant caption = bag.read(QStringLiteral("Caption"));
    caption_ = caption.canConvert<QString>() ? caption.toString() : kDefaultCaption;
    const QVariant enabled = bag.read(QStringLiteral("Enabled"));
    enabled_ = enabled.canConvert<bool>() ? enabled.toBool() : true;
    dotX_ = readInt16(bag, "DotX", kDefaultDotX);
    dotY_ = readInt16(bag, "DotY", kDefaultDotY);
    dotWidth_ = readInt16(bag, "DotWidth", kDefaultDotWidth);
    dotHeight_ = readInt16(bag, "DotHeight", kDefaultDotHeight);
    buttonShape_ = readShape(bag, "ButtonShape", kDefaultButtonShape);
    dotShape_ = readShape(bag, "DotShape", kDefaultDotShape);
    applyCaption();
    layOut();
}

void ZenButton::writeProperties(PropertyBag& bag) const {
    bag.write(QStringLiteral("FillColor"), fillColor_);
    bag.write(QStringLiteral("BorderSize"), borderSize_);
    bag.write(QStringLiteral("BackColor"), backColor_);
    bag.write(QStringLiteral("ForeColor"), foreColor_);
    bag.write(QStringLiteral("BorderColor"), borderColor_);
    bag.write(QStringLiteral("DotColor"), dotColor_);
    bag.write(QStringLiteral("OverColor"), overColor_);
    bag.write(QStringLiteral("FontType"), fontType_);
    bag.write(QStringLiteral("Caption"), caption_);
    bag.write(QStringLiteral("Enabled"), enabled_);
    bag.write(QStringLiteral("DotX"), dotX_);
    bag.write(QStringLiteral("DotY"), dotY_);
    bag.write(QStringLiteral("DotWidth"), dotWidth_);
    bag.write(QStringLiteral("DotHeight"), dotHeight_);
    bag.write(QStringLiteral("ButtonShape"), buttonShape_);
    bag.write(QStringLiteral("DotShape"), dotShape_);
}

bool ZenButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched != clip_ && watched != captionLabel_) return QWidget::eventFilter(watched, event);
    auto* part = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // every press of a fast double tap counts
        pressed(part, static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        released(part, static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        if (part == clip_) pointerMoved(static_cast<QMouseEvent*>(event));
        return false;
    default:
        return false;
    }
}

void ZenButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

// A button hidden or disabled during a press never gets its release; the caption must not stay
// shrunk (the deck hides its pause button from the button's own press).
void ZenButton::hideEvent(QHideEvent* event) {
    abandonPress();
    QWidget::hideEvent(event);
}

void ZenButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) abandonPress();
    QWidget::changeEvent(event);
}

void ZenButton::layOut() {
    const int w = width();
    const int h = height();
    clip_->setGeometry(1, 1, w, h);
    changeLook(clip_, [&](auto& look) {
        look.rect = QRect(0, 0, std::max(w - 2, 0), std::max(h - 2, 0));
        look.border = borderColor_;
        look.fill = fillColor_;
        look.dotFill = dotColor_;
        look.dotRect = QRect(dotX_, dotY_, dotWidth_, dotHeight_);
        look.back = backColor_;
        look.shape = buttonShape_;
        look.dotShape = dotShape_;
    });
    placeCaption();
    setForeColor(foreColor_);
}

void ZenButton::placeCaption() {
    const QRect face = clip_->look().rect;
    const int captionHeight = captionLabel_->sizeHint().height();
    captionLabel_->setGeometry(2, (face.height() - captionHeight) / 2,
                               std::max(face.width() - 4, 0), captionHeight);
}

void ZenButton::applyCaption() {
    const QString markup = accessKeyMarkup(caption_);
    captionLabel_->setTextFormat(markup.isEmpty() ? Qt::PlainText : Qt::RichText);
    captionLabel_->setText(markup.isEmpty() ? caption_ : markup);
    accessKey_->setKey(QKeySequence::mnemonic(caption_));
}

void ZenButton::pressed(QWidget* part, QMouseEvent* event) {
    // A press with no other button held while one is still due means its release was lost.
    if (pressedPart_ && (event->buttons() & ~event->button()) == Qt::NoButton) abandonPress();
    const QPointer<ZenButton> self(this);
    const ReleaseWatch watch(event->button());
    emit MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x()),
                   static_cast<float>(event->position().y()));
    if (!self || !isVisible() || !isEnabled())
        return;                   // the owner took the button away: its release will not come
    if (watch.released()) return; // spent by a message box the owner showed meanwhile
    if (!pressedPart_) sizeBeforePress_ = captionPointSize();
    pressedPart_ = part;
    setCaptionPointSize(std::max(captionPointSize() - kPressShrinkPoints, kSmallestCaptionPoints));
}

ZenButton::ReleaseWatch::ReleaseWatch(Qt::MouseButton button) : button_(button) {
    QCoreApplication::instance()->installEventFilter(this);
}

ZenButton::ReleaseWatch::~ReleaseWatch() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool ZenButton::ReleaseWatch::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == button_)
        released_ = true;
    return false;
}

void ZenButton::released(QWidget* part, QMouseEvent* event) {
    const bool click = pressedPart_ == part && part->rect().contains(event->position().toPoint());
    const QPointer<ZenButton> self(this);
    emit MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                 static_cast<float>(event->position().x()),
                 static_cast<float>(event->position().y()));
    if (!self) return;
    setCaptionPointSize(kReleasePoints);
    if (event->buttons() == Qt::NoButton) pressedPart_ = nullptr;
    if (click) emit Click();
}

void ZenButton::pointerMoved(QMouseEvent* event) {
    if (pressedPart_ && event->buttons() == Qt::NoButton) abandonPress();
    if (clip_->rect().contains(event->position().toPoint()) && !overTimer_->isActive())
        overTimer_->start();
}

void ZenButton::hoverTick() {
    const QRect area(clip_->mapToGlobal(QPoint(0, 0)), clip_->size());
    if (isVisible() && area.contains(QCursor::pos())) {
        changeLook(clip_, [this](auto& look) { look.dotFill = overColor_; });
        return;
    }
    overTimer_->stop();
    changeLook(clip_, [this](auto& look) { look.dotFill = dotColor_; });
    emit MouseLeft();
}

void ZenButton::abandonPress() {
    if (!pressedPart_) return;
    pressedPart_ = nullptr;
    setCaptionPointSize(sizeBeforePress_);
}

double ZenButton::captionPointSize() const {
    const QFont font = captionLabel_->font();
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

void ZenButton::setCaptionPointSize(double points) {
    QFont font = captionLabel_->font();
    font.setPointSizeF(points);
    captionLabel_->setFont(font);
    placeCaption();
}
