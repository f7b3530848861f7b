#include "ConsoleTestSupport.h"

#include "common/FirstRunConfig.h"
#include "common/FolderBrowser.h"
#include "common/ZenButton.h"
#include "console/MappingBox.h"
#include "console/ScanCodes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <linux/input-event-codes.h>

namespace {

QList<QByteArray> lines(const QByteArray& bytes) {
    QList<QByteArray> out = bytes.split('\n');
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

} // namespace

TEST_F(ConsoleTest, FirstStartWritesWorkingSettingsOnlyWhenTheFileIsMissing) {
    ASSERT_TRUE(startConsole());
    zen::config::ConfigRecord written;
    ASSERT_TRUE(written.load(zen::config::configFilePath(programDir.path())));
    EXPECT_EQ(written, zen::config::firstRunConfig(zen::config::userMusicFolder()));
    // Deck 1's keys a s d f g and deck 2's h j k l ; as the keyboard reader reports them.
    const int keys[10] = {KEY_A, KEY_S, KEY_D, KEY_F, KEY_G,
                          KEY_H, KEY_J, KEY_K, KEY_L, KEY_SEMICOLON};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(written.mapping[16 + i].toInt(), zen::console::setOneScanCode(keys[i])) << i;
    // Read as any saved file: the decks on cables 1 and 2, and an untouched save keeps it.
    EXPECT_EQ(window->ports().deckDevice(1), 0);
    EXPECT_EQ(window->ports().deckDevice(2), 1);
    const QByteArray first = bytesOf();
    saveOptions();
    EXPECT_EQ(bytesOf(), first);

    // A file that is there, even a short one, is the user's and is never replaced.
    writeConfig(zen::config::ConfigRecord::fromFields({"OFF"}));
    const QByteArray shortFile = bytesOf();
    ASSERT_TRUE(startConsole());
    EXPECT_EQ(bytesOf(), shortFile);
}

// Start-up lists the devices and shows the settings; a save keeps the values the lists cannot
// show, writes what the DJ changed in the panel by the rules of each field, and nothing else.
TEST_F(ConsoleTest, PanelShowsTheLoadedSettingsAndASaveWritesWhatItShows) {
    host.screen = {1280, 600}; // one dimension is enough
    zen::config::ConfigRecord record = sampleRecord();
    record.externalMidi = "9";        // a hardware input at device 9
    record.soundDevice2 = "7";        // a sound card not plugged in
    record.midiPort2 = "MIDI Yoke 9"; // no such cable
    // A Latin-1 "été" on an unmounted drive.
    record.musicFolder = "/media/usb/" + QString(QChar(0xDCE9)) + "t" + QChar(0xDCE9);
    writeConfig(record);
    ASSERT_TRUE(startConsole());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.sleeps, std::vector<int>{4000}); // the splash
    EXPECT_FALSE(window->frmSplash().isVisible() || panel().isVisible());
    EXPECT_EQ(host.meterStarts + host.keyStarts, 2);
    EXPECT_EQ(window->ui().fltButton[0]->Caption(), "START");
    OptionsUi& o = options();
    EXPECT_EQ(o.cmbDevices1->itemText(1), "1 - system");
    EXPECT_EQ(o.cmbDevices1->currentIndex(), 1);
    ASSERT_EQ(o.cmbExternal->count(), 11);
    EXPECT_EQ(o.cmbExternal->currentText(), "9:Knob Box");
    // After "<none>", only the names that begin with "MIDI Yoke": "Synth Out" is left out.
    ASSERT_EQ(o.cmbInternal1->count(), 10);
    EXPECT_EQ(o.cmbInternal1->itemText(9), "MIDI Yokel");
    EXPECT_TRUE(o.chkBPM->isChecked() && !o.chkScroll->isChecked());
    EXPECT_EQ(o.txtMapping[16]->text(), "57");
    EXPECT_EQ(o.dirFile->path(), QDir(QDir::homePath()).canonicalPath());
    EXPECT_EQ(window->ports().deckDevice(1), 0);
    EXPECT_EQ(window->ports().deckDevice(2), -1);
    panel().show();
    saveOptions();
    EXPECT_FALSE(panel().isVisible());
    zen::config::ConfigRecord saved;
    ASSERT_TRUE(saved.load(zen::config::configFilePath(programDir.path())));
    EXPECT_EQ(saved, record);
    const QByteArray first = bytesOf();
    EXPECT_TRUE(first.contains("\"/media/usb/\xE9t\xE9\"\r\n")) << "not byte for byte";

    o.chkScroll->setChecked(true);
    o.chkBPM->setTristate(true);
    o.chkBPM->setCheckState(Qt::PartiallyChecked); // greyed counts as off
    o.cmbExternal->setCurrentIndex(9);             // "8:Pad Controller": the whole number
    o.cmbDevices2->setCurrentIndex(1);
    emit o.cmbDevices2->activated(1);
    o.cmbInternal1->setCurrentIndex(5);
    o.txtJoyID1->setText("7"); // the joystick fields are always 4 and 3
    for (int i : {0, 15})
        o.txtMapping[i]->setText(QString::number(30 + i));
    o.dirFile->setPath(programDir.path());
    saveOptions();
    const QList<QByteArray> before = lines(first), after = lines(bytesOf());
    ASSERT_EQ(after.size(), 38);
    const QList<QByteArray> expected = {"\"OFF\"\r", "\"ON\"\r",          "\"OFF\"\r",
                                        "\"ON\"\r",  "\"8\"\r",           "\"1\"\r",
                                        "\"1\"\r",   "\"MIDI Yoke 5\"\r", "\"MIDI Yoke 9\"\r"};
    EXPECT_EQ(after.mid(0, 9), expected);
    EXPECT_EQ(after[35], "\"" + QDir(programDir.path()).canonicalPath().toUtf8() + "\"\r");
    EXPECT_EQ(after.mid(36), QList<QByteArray>({"\"4\"\r", "\"3\"\r"}));
    for (int line = 10; line <= 35; ++line)
        EXPECT_EQ(before[line - 1] != after[line - 1], line == 10 || line == 25) << "line " << line;

    // An external input that is not a device number opens nothing, as a missing file: read as 0,
    // it would open cable 1, where the console would hear its own commands to deck 1.
    for (const char* notANumber : {"x", "ON", "\x01\xFF", " "}) {
        record.externalMidi = notANumber;
        writeConfig(record);
        ASSERT_TRUE(startConsole());
        EXPECT_EQ(panel().externalDevice(), -1) << notANumber;
    }
}

TEST_F(ConsoleTest, PanelControlsFollowTheirRules) {
    writeConfig(sampleRecord());
    ASSERT_TRUE(startConsole());
    OptionsUi& o = options();
    MappingBox* box = o.txtMapping[12];
    focus(box, QEvent::FocusIn);
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(panel().markedEntry(), 12);
    QTest::keyClicks(box, "ab");
    EXPECT_EQ(box->text(), "98") << "a typed character becomes its code";
    focus(box, QEvent::FocusOut);
    EXPECT_EQ(panel().markedEntry(), -1);
    focus(box, QEvent::FocusIn);
    box->clear();
    focus(box, QEvent::FocusOut);
    EXPECT_EQ(box->text(), "none");
    QTest::keyClicks(o.txtMapping[5], "7");
    EXPECT_EQ(o.txtMapping[5]->text(), "none7");
    QTest::keyClicks(o.txtMapping[22], "7");
    EXPECT_EQ(o.txtMapping[22]->text(), "none") << "a key box takes no typing";
    // The Menu key pressed to be captured opens no menu that would take the next clicks.
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, {5, 5},
                           o.txtMapping[22]->mapToGlobal(QPoint()));
    QApplication::sendEvent(o.txtMapping[22], &menu);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // Emptied and saved while still focused (the skinned button takes no focus): "none".
    focus(box, QEvent::FocusIn);
    box->clear();
    saveOptions();
    zen::config::ConfigRecord saved;
    ASSERT_TRUE(saved.load(programDir.filePath("ZentariDJ.ini")));
    EXPECT_EQ(saved.mapping[12], "none");

    o.chkTracking->click();
    EXPECT_EQ(o.chkTracking->text(), "Tracking progressive");
    o.txtJoyID1->setText("4");
    o.vscID1->triggerAction(QAbstractSlider::SliderSingleStepSub); // the upper arrow
    EXPECT_EQ(o.txtJoyID1->text(), "1");
    o.vscID1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    o.vscID1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(o.txtJoyID1->text(), "0");

    // Cancel hides and writes nothing; the edits stay.
    const QByteArray before = bytesOf();
    panel().show();
    emit o.Command2->Click();
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(bytesOf(), before);
    EXPECT_EQ(o.chkTracking->text(), "Tracking progressive");
}
