#include "console/ControllerInput.h"

#include "common/DeckCommands.h"
#include "console/ConsolePorts.h"
#include "console/MappingBox.h"
#include "console/MonitorText.h"
#include "console/OptionsPanel.h"

void ControllerInput::messageReceived() {
    zen::MIDIInput& input = ports_.MIDIInput1();
    act(input.status(), input.data1(), input.data2());
    // The device is the panel's choice as it stands now, as for every action on this port.
    input.action(panel_.externalDevice(), zen::MidiAction::Received);
}

void ControllerInput::act(int status, int data1, int data2) {
    if (status != zen::cmd::kStatus) return;
    monitor_.append(QStringLiteral(" Midi C%1 V%2").arg(data1).arg(data2));
    if (!panel_.isVisible() || !panel_.captureTicked()) return;
    const int marked = panel_.markedEntry();
    if (marked >= 0 && marked < MappingBox::kFirstKeyBox)
        panel_.txtMapping(marked)->setText(QString::number(data1));
}
