#include "deck/displays/SpectrumView.h"
#include "FakeEngine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using zen::deck::SpectrumPicture;
using zen::deck::SpectrumView;

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
    const auto& e = SpectrumPicture::palette()[index];
    return qRgb(e.red, e.green, e.blue);
}

} // namespace

TEST(SpectrumView, ShowsTheBitmapBottomUpAtTheTopLeftWithItsPalette) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 0.0f);
    engine.spectrum[1] = 1.0f;
    SpectrumView view(engine, [] { return zen::audio::Handle{3}; });
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

TEST(SpectrumView, PressesSwitchTheViewTheTimerPeriodAndTheCaption) {
    FakeEngine engine;
    SpectrumView view(engine, {});
    QSignalSpy captions(&view, &SpectrumView::captionChanged);
    EXPECT_EQ(view.timer().timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(view.timer().isActive());
    view.start();
    EXPECT_TRUE(view.timer().isActive());
    EXPECT_EQ(view.timer().interval(), 35);

    QTest::mousePress(&view, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.timer().interval(), 25);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(view.display().periodMs(), 1);
    EXPECT_TRUE(view.timer().isActive());
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions.at(0).at(0).toString(), "Spectrum Analyzer");
    EXPECT_EQ(captions.at(1).at(0).toString(), "Oscilloscope");
    EXPECT_EQ(view.caption(), "Oscilloscope");
}

TEST(SpectrumView, TheBarViewDrawsAtTheScreensPaceAndPaintsOnlyChanges) {
    FakeEngine engine;
    engine.spectrum.assign(1024, 0.0f);
    SpectrumView view(engine, [] { return zen::audio::Handle{1}; });
    view.resize(88, 101);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.switchMode();
    view.switchMode();
    view.start();
    QTest::qWait(40);
    PaintCounter counter;
    view.installEventFilter(&counter);

    engine.analyses = 0;
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(200);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(engine.analyses, 2);
    EXPECT_LE(engine.analyses, elapsed / SpectrumView::kScreenFrameMs + 2)
        << "the window thread wakes at the screen's pace, not once a millisecond";
    EXPECT_EQ(counter.paints, 0) << "an unchanged picture is not repainted";

    engine.spectrum[1] = 1.0f;
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 1000));
}
