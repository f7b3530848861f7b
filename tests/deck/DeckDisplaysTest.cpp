#include "DeckTestSupport.h"

#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/SpectrumView.h"

#include <QLabel>
#include <QTest>
#include <algorithm>

using zen::deck::LevelMeterModel;
using zen::deck::SpectrumPicture;

TEST_F(DeckTest, DisplaysStartWithTheDeckFollowTheLoadedChannelAndAClickSwitchesTheView) {
    zen::deck::SpectrumView* view = ui().pctSpectrum;
    zen::deck::LevelMeter* meter = ui().pctVU;
    EXPECT_FALSE(view->timer().isActive());
    EXPECT_FALSE(ui().cpuLoad->timer().isActive());
    startDeck();
    EXPECT_TRUE(view->timer().isActive());
    ui().cpuLoad->refresh();
    EXPECT_TRUE(ui().lblCPU->text().endsWith(" %")) << ui().lblCPU->text().toStdString();

    // With no track the bar view is a line of colour 1 along the bottom, and the meter is empty.
    view->tick();
    const auto& e = SpectrumPicture::palette()[1];
    EXPECT_EQ(view->grab().toImage().pixel(0, SpectrumPicture::kHeight - 1),
              qRgb(e.red, e.green, e.blue));
    meter->readLevel();
    EXPECT_EQ(meter->model().top(LevelMeterModel::kLeftBar), 101);
    EXPECT_FALSE(meter->resetTimer().isActive()) << "no level, no threshold drop";

    // A full-scale tone on a playing deck: the meter and the bar view read the new channel.
    load(makeSine("loud.wav", 440, 2, 1.0));
    window->Zen_Pause();
    engine->render(4410);
    meter->readLevel();
    EXPECT_EQ(meter->model().top(LevelMeterModel::kLeftBar), 5);
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
