#include "deck/FrequencyView.h"
#include "FakeEngine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using zen::deck::FrequencyPicture;
using zen::deck::FrequencyView;

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

QRgb paletteColour(int index) {
    const auto& e = FrequencyPicture::palette()[index];
    return qRgb(e.red, e.green, e.blue);
}

} // namespace

TEST(FrequencyView, ShowsTheBitmapBottomUpAtTheTopLeftWithItsPalette) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 0.0f);
    engine.spectrum[1] = 1.0f;
    FrequencyView view(engine, [] { return zen::audio::Handle{3}; });
    view.resize(88, 101);
    view.tick();
    const QImage shown = view.grab().toImage();
    EXPECT_EQ(engine.askedChannel, 3u);
    EXPECT_EQ(shown.pixel(0, 100), paletteColour(1)) << "row 0 is the bottom line";
    EXPECT_EQ(shown.pixel(0, 0), paletteColour(101)) << "a full band reaches the top";
    EXPECT_EQ(shown.pixel(2, 99), paletteColour(0));
    EXPECT_EQ(shown.pixel(2, 100), paletteColour(1));
    EXPECT_EQ(shown.pixel(87, 100), paletteColour(0));
}

TEST(FrequencyView, PressesSwitchTheViewTheTimerPeriodAndTheCaption) {
    FakeEngine engine;
    FrequencyView view(engine, {});
    QSignalSpy captions(&view, &FrequencyView::captionChanged);
    EXPECT_EQ(view.timer().timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(view.timer().isActive());
    view.start();
    EXPECT_TRUE(view.timer().isActive());
    EXPECT_EQ(view.timer().interval(), 35);

    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.timer().interval(), 25);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.timer().interval(), 1);
    EXPECT_TRUE(view.timer().isActive());
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions.at(0).at(0).toString(), "Spectrum Analyzer");
    EXPECT_EQ(captions.at(1).at(0).toString(), "Oscilloscope");
    EXPECT_EQ(view.caption(), "Oscilloscope");
}

TEST(FrequencyView, ManyFramesCostFewPaintsAndUnchangedFramesNone) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 0.0f);
    FrequencyView view(engine, [] { return zen::audio::Handle{1}; });
    view.resize(88, 101);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QTest::qWait(30);
    PaintCounter counter;
    view.installEventFilter(&counter);

    // Frames at the bar view's 1 ms pace, with the event loop running between them.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 100; ++i) {
        engine.spectrum[1 + i % 40] = 0.05f * static_cast<float>(i % 7);
        view.tick();
        QTest::qWait(1);
    }
    QTest::qWait(40);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(counter.paints, 2);
    EXPECT_LE(counter.paints, elapsed / 16 + 2)
        << "100 frames in " << elapsed << " ms are painted at the screen's pace";
    EXPECT_GE(engine.analyses, 2);
    EXPECT_LE(engine.analyses, elapsed / 16 + 2)
        << "only the bar frames that can be seen are drawn";

    QTest::qWait(30);
    counter.paints = 0;
    for (int i = 0; i < 50; ++i)
        view.tick();
    QTest::qWait(40);
    EXPECT_EQ(counter.paints, 0) << "an unchanged picture is not repainted";
}

TEST(FrequencyView, TheScrollingViewDrawsAColumnOnEveryTick) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 0.0f);
    FrequencyView view(engine, [] { return zen::audio::Handle{2}; });
    view.switchMode();
    for (int i = 0; i < 90; ++i)
        view.tick();
    EXPECT_EQ(engine.analyses, 90);
    EXPECT_EQ(view.display().writeColumn(), 2);
}
