#include "deck/FramePacer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Counts its paints and remembers the text it last painted.
class RecordingLabel : public QLabel {
public:
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
    RecordingLabel label;
    label.resize(180, 20);
    FramePacer::install(label);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    QTest::qWait(40);
    label.paints = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i) {
        label.setText(QString::number(i));
        QTest::qWait(1);
    }
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(40);
    EXPECT_GE(label.paints, 2);
    EXPECT_LE(label.paints, elapsed / FramePacer::kFrameMs + 3);

    // The last change of a burst is still shown, also when asked for with repaint().
    label.setText(QStringLiteral("last"));
    label.repaint();
    label.setText(QStringLiteral("final"));
    label.repaint();
    QTest::qWait(40);
    EXPECT_EQ(label.painted, "final");
}
