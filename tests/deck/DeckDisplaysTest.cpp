#include "DeckTestSupport.h"

#include "deck/displays/CpuLoadDisplay.h"
#include "deck/displays/LevelMeter.h"
#include "deck/displays/SpectrumView.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>

namespace {

void click(QWidget* widget, Qt::MouseButton button) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

} // namespace

TEST_F(DeckTest, StartUpSwitchesOnTheDisplaysAndAClickSwitchesTheSpectrumView) {
    EXPECT_FALSE(ui().pctSpectrum->timer().isActive());
    EXPECT_FALSE(ui().cpuLoad->timer().isActive());
    EXPECT_TRUE(ui().pctVU->readTimer().isActive());
    startDeck();
    EXPECT_TRUE(ui().pctSpectrum->timer().isActive());
    EXPECT_TRUE(ui().cpuLoad->timer().isActive());
    EXPECT_EQ(ui().lblVU->text(), "Oscilloscope");
    // Any button on the picture switches the view, and lblVU names it.
    click(ui().pctSpectrum, Qt::RightButton);
    EXPECT_EQ(ui().lblVU->text(), "Spectrum Analyzer");
    click(ui().pctSpectrum, Qt::LeftButton);
    EXPECT_EQ(ui().lblVU->text(), "Oscilloscope");

    ui().cpuLoad->refresh();
    EXPECT_TRUE(ui().lblCPU->text().endsWith(" %"));
}

TEST_F(DeckTest, DisplaysFollowTheLoadedChannel) {
    startDeck();
    ui().pctVU->readLevel();
    EXPECT_EQ(ui().pctVU->model().top(zen::deck::LevelMeterModel::kLeftBar), 101);

    // A full-scale tone on a playing deck: the meter and the bar view read the new channel.
    load(makeSine("loud.wav", 440, 2, 1.0));
    window->Zen_Pause();
    engine->render(4410);
    ui().pctVU->readLevel();
    EXPECT_EQ(ui().pctVU->model().top(zen::deck::LevelMeterModel::kLeftBar), 5);
    EXPECT_EQ(ui().pctVU->model().top(zen::deck::LevelMeterModel::kLeftMarker), -1);
    ui().pctSpectrum->tick();
    const auto bits = ui().pctSpectrum->display().bits();
    const auto top =
        bits.subspan(zen::deck::SpectrumPicture::kWidth * 100, zen::deck::SpectrumPicture::kWidth);
    EXPECT_TRUE(std::any_of(top.begin(), top.end(), [](std::uint8_t p) { return p != 0; }));
}
