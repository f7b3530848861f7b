#include "DeckTestSupport.h"

#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/SpectrumView.h"

#include <QLabel>
#include <QTest>
#include <algorithm>

using zen::deck::LevelMeterModel;
using zen::deck::SpectrumPicture;

TEST_F(DeckTest, StartUpSwitchesOnTheDisplaysAndAClickSwitchesTheSpectrumView) {
    zen::deck::SpectrumView* view = ui().pctSpectrum;
    EXPECT_FALSE(view->timer().isActive());
    EXPECT_FALSE(ui().cpuLoad->timer().isActive());
    startDeck();
    EXPECT_TRUE(view->timer().isActive());
    EXPECT_TRUE(ui().cpuLoad->timer().isActive());
    ui().cpuLoad->refresh();
    EXPECT_TRUE(ui().lblCPU->text().endsWith(" %")) << ui().lblCPU->text().toStdString();

    // With no track the bar view is a line of colour 1 along the bottom; rows run bottom-up.
    view->tick();
    const QImage shown = view->grab().toImage();
    const auto colour = [](int index) {
        const auto& e = SpectrumPicture::palette()[index];
        return qRgb(e.red, e.green, e.blue);
    };
    EXPECT_EQ(shown.pixel(0, SpectrumPicture::kHeight - 1), colour(1));
    EXPECT_EQ(shown.pixel(0, SpectrumPicture::kHeight - 2), colour(0));

    // Any button switches the view; lblVU names it and the view's period follows it.
    EXPECT_EQ(ui().lblVU->text(), "Oscilloscope");
    EXPECT_EQ(view->timer().interval(), 35);
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(ui().lblVU->text(), "Spectrum Analyzer");
    EXPECT_EQ(view->timer().interval(), 25);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(ui().lblVU->text(), "Oscilloscope");
    EXPECT_EQ(view->timer().interval(), 1);
}

TEST_F(DeckTest, DisplaysFollowTheLoadedChannel) {
    startDeck();
    zen::deck::LevelMeter* meter = ui().pctVU;
    meter->readLevel();
    EXPECT_EQ(meter->model().top(LevelMeterModel::kLeftBar), 101);
    EXPECT_FALSE(meter->resetTimer().isActive()) << "no level, no threshold drop";

    // A full-scale tone on a playing deck: the meter and the bar view read the new channel.
    load(makeSine("loud.wav", 440, 2, 1.0));
    window->Zen_Pause();
    engine->render(4410);
    meter->readLevel();
    EXPECT_EQ(meter->model().top(LevelMeterModel::kLeftBar), 5);
    EXPECT_EQ(meter->model().top(LevelMeterModel::kLeftMarker), -1);
    EXPECT_EQ(QColor(meter->grab().toImage().pixel(12, 50)), QColor(0, 192, 0)) << "left bar";
    // A steady signal drops the thresholds every 250 ms: reading again leaves the countdown.
    ASSERT_TRUE(meter->resetTimer().isActive());
    const int remaining = meter->resetTimer().remainingTime();
    QTest::qWait(20);
    meter->readLevel();
    EXPECT_LT(meter->resetTimer().remainingTime(), remaining);

    ui().pctSpectrum->tick();
    const auto top = ui().pctSpectrum->display().bits().subspan(SpectrumPicture::kWidth * 100,
                                                                SpectrumPicture::kWidth);
    EXPECT_TRUE(std::any_of(top.begin(), top.end(), [](std::uint8_t p) { return p != 0; }));
}
