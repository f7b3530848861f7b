#pragma once

#include <QLineEdit>

// One box of the mapping table txtMapping(0..25): entries 0..15 hold controller numbers, 16..25
// key codes. The box with the focus carries the focus marker "F", which is how a captured
// controller or key finds its box; a box that gains the focus showing "none" empties, one that
// loses it empty shows "none" again.
//
// Typing: boxes 0..9 take what is typed. In boxes 10..15 a typed character is replaced by its
// character code ("a" gives "97"). Boxes 16..25 take nothing typed: only key capture and the erase
// key write them, so a box never holds a character that silently matches no key.
class MappingBox : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kFirstCodeBox = 10;
    static constexpr int kFirstKeyBox = 16;

    MappingBox(int index, QWidget* parent);

    int index() const { return index_; }
    bool focusMarked() const { return marked_; }
    // The text as it stands once the box is left: an emptied box being edited counts as "none",
    // so a save while it still has the focus stores what the box is about to show.
    QString committedText() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int index_;
    bool marked_ = false;
};
