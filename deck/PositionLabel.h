#pragma once

#include <QHash>
#include <QLabel>
#include <QStaticText>

// lblPosition: a label whose text the position timer rewrites every 10 ms. It draws its text
// centred, one character at a time from laid-out glyphs it keeps, so a repaint does not shape
// the whole text again; its few characters (digits, ":", ",", "-", blank) are laid out once.
class PositionLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    const QStaticText& glyph(QChar c);

    QHash<QChar, QStaticText> glyphs_;
};
