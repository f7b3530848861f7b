#include "deck/FramePacer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Counts its paints and remembers the text it last painted.
class RecordingLabel : public QLabel {
public:
    using QLabel::QLabel;
    int paints = 0;
    QString painted;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        painted = text();
        QLabel::paintEvent(event);
    }
};

} // namespace

TEST(FramePacerTest, ChangesFasterThanTheScreenArePaintedOncePerFrameAndNoneIsLost) {
    QWidget window;
    window.resize(200, 60);
    auto* label = new RecordingLabel(&window);
    label->setGeometry(10, 10, 180, 20);
    FramePacer::install(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(40);
    label->paints = 0;

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i) {
        label->setText(QString::number(i));
        QTest::qWait(1);
    }
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(40);
    EXPECT_GE(label->paints, 2);
    EXPECT_LE(label->paints, elapsed / FramePacer::kFrameMs + 3);

    // The last change of a burst is still shown, also when asked for with repaint().
    label->paints = 0;
    label->setText(QStringLiteral("last"));
    label->repaint();
    label->setText(QStringLiteral("final"));
    label->repaint();
    QTest::qWait(40);
    EXPECT_GE(label->paints, 1);
    EXPECT_EQ(label->painted, "final");
}
