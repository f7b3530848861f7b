#pragma once

class ConsolePorts;
class MonitorText;
class OptionsPanel;

// What the console does with the external controller's messages on MIDIInput1: each Control
// Change on channel 1 is echoed in the monitor and, while the options panel is shown with
// "Capture" ticked, its controller number goes into the marked controller box 0..15. Controller
// messages never reach a deck, and never change a key box.
class ControllerInput {
public:
    ControllerInput(ConsolePorts& ports, OptionsPanel& panel, MonitorText& monitor)
        : ports_(ports), panel_(panel), monitor_(monitor) {}

    // MIDIInput1's message-received handler.
    void messageReceived();

private:
    void act(int status, int data1, int data2);

    ConsolePorts& ports_;
    OptionsPanel& panel_;
    MonitorText& monitor_;
};
