#pragma once

#include "deck/displays/FileNameScroller.h"

#include <QLabel>
#include <QWidget>

// pctSongInfo: the strip that shows the loaded file's name (lblFileName), 382 pixels wide. A name
// too wide for the panel scrolls through it. Something dragged over the panel from the desktop
// shows its name; loading stays the file list's job.
class SongPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = zen::deck::FileNameScroller::kPanelWidth;
    static constexpr int kTextLeft = zen::deck::FileNameScroller::kRestLeft;

    explicit SongPanel(QWidget* parent = nullptr);

    QLabel* lblFileName() const { return label_; }
    zen::deck::FileNameScroller& scroller() { return scroller_; }

    // The progress text of a load: fixed width 369 at left 8, drawn at once (the load holds the
    // window thread, so no event loop would draw it).
    void showProgress(const QString& text);
    // The final name: sized to its text; a name wider than the panel starts scrolling in from the
    // right, any other stays at left 8.
    void showName(const QString& name);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showDragged(const class QMimeData* data);

    QLabel* label_;
    zen::deck::FileNameScroller scroller_;
};
