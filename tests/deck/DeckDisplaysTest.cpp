#include "DeckTestSupport.h"

#include "deck/FramePacer.h"
#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/PacedTimer.h"
#include "deck/displays/SpectrumView.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QTest>
#include <algorithm>
#include <limits>
#include <numeric>

using zen::deck::SpectrumPicture;

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

// One frame clock paces the deck: a paced timer runs what fell due on one wake-up a frame, never
// early, and changes faster than the screen are painted once a frame without losing the last.
TEST(FrameClockTest, PacedTicksKeepTheirScheduleAndFastChangesArePaintedOncePerFrame) {
    RecordingLabel label;
    label.resize(180, 20);
    FramePacer::install(label);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    QTest::qWait(40);
    label.paints = 0;
    std::vector<int> wakes;
    zen::deck::PacedTimer every5ms(5, [&wakes](int ticks) { wakes.push_back(ticks); });
    QElapsedTimer clock;
    clock.start();
    every5ms.start();
    for (int i = 0; i < 100; ++i) {
        label.setText(QString::number(i));
        QTest::qWait(1);
    }
    const qint64 elapsed = clock.elapsed();
    const int ticks = std::accumulate(wakes.begin(), wakes.end(), 0);
    EXPECT_LE(ticks * 5, elapsed) << "a tick came before it was due";
    EXPECT_GE(ticks * 5, elapsed / 2) << "ticks were lost";
    EXPECT_LT(wakes.size(), static_cast<std::size_t>(ticks)) << "a wake-up for every tick";
    every5ms.stop();
    const std::size_t calls = wakes.size();
    QTest::qWait(40);
    EXPECT_EQ(wakes.size(), calls) << "a stopped timer ticked";
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

TEST_F(DeckTest, DisplaysStartWithTheDeckFollowTheTrackAndClicksSwitchOrDragThem) {
    zen::deck::SpectrumView* view = ui().pctSpectrum;
    zen::deck::LevelMeter* meter = ui().pctVU;
    EXPECT_FALSE(view->timer().isActive());
    EXPECT_FALSE(ui().cpuLoad->timer().isActive());
    startDeck();
    EXPECT_TRUE(view->timer().isActive());
    ui().cpuLoad->refresh();
    EXPECT_TRUE(ui().lblCPU->text().endsWith(" %")) << ui().lblCPU->text().toStdString();
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(zen::deck::CpuLoadDisplay::format(5.04f), "5.0 %") << "on a German desktop too";
    EXPECT_EQ(zen::deck::CpuLoadDisplay::format(std::numeric_limits<float>::quiet_NaN()), "0.0 %");
    QLocale::setDefault(before);

    // The title drags the window while the left button alone is held.
    QLabel* title = ui().lblWindowTitle;
    const QPoint start = window->pos();
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(title, QPoint(30, 5));
    EXPECT_EQ(window->pos(), start + QPoint(20, 0));
    QTest::mousePress(title, Qt::RightButton, {}, QPoint(30, 5));
    QTest::mouseMove(title, QPoint(40, 5));
    EXPECT_EQ(window->pos(), start + QPoint(20, 0)) << "not with another button held too";
    QTest::mouseRelease(title, Qt::RightButton, {}, QPoint(40, 5));
    QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(40, 5));

    // With no track the bar view is a line of colour 1 along the bottom, and the meter is empty.
    view->tick();
    const auto& e = SpectrumPicture::palette()[1];
    EXPECT_EQ(view->grab().toImage().pixel(0, SpectrumPicture::kHeight - 1),
              qRgb(e.red, e.green, e.blue));
    meter->readLevel();
    EXPECT_EQ(meter->model().top(zen::deck::LevelMeterModel::kLeftBar), 101);
    EXPECT_FALSE(meter->resetTimer().isActive()) << "no level, no threshold drop";

    // A full-scale tone on a playing deck: the meter and the bar view read the new channel.
    load(makeSine("loud.wav", 440, 2, 1.0));
    window->Zen_Pause();
    engine->render(4410);
    meter->readLevel();
    EXPECT_EQ(meter->model().top(zen::deck::LevelMeterModel::kLeftBar), 5);
    EXPECT_EQ(QColor(meter->grab().toImage().pixel(12, 50)), QColor(0, 192, 0)) << "left bar";
    // A steady signal drops the thresholds every 250 ms: reading again leaves the countdown.
    ASSERT_TRUE(meter->resetTimer().isActive());
    const int remaining = meter->resetTimer().remainingTime();
    QTest::qWait(20);
    meter->readLevel();
    EXPECT_LT(meter->resetTimer().remainingTime(), remaining);
    view->tick();
    const auto top =
        view->display().bits().subspan(SpectrumPicture::kWidth * 100, SpectrumPicture::kWidth);
    EXPECT_TRUE(std::any_of(top.begin(), top.end(), [](std::uint8_t p) { return p != 0; }));

    // Any button switches the view, and lblVU names it.
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(ui().lblVU->text(), "Spectrum Analyzer");
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(ui().lblVU->text(), "Oscilloscope");
}
