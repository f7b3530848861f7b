#include "console/CpuMeter.h"
#include "console/KeyPress.h"

namespace zen::console {

namespace {

// Until the keyboard component is in: no key is ever held.
class NoKeys : public KeyPress {
public:
    void start(QWidget&) override {}
    void poll() override {}
    int keyCode() const override { return 0; }
    void stop() override {}
};

// Until the CPU meter is in: no load is ever available.
class NoLoad : public CpuMeter {
public:
    void Initialize() override {}
    std::int32_t Query() override { return -1; }
    void Terminate() override {}
};

} // namespace

std::unique_ptr<KeyPress> createKeyPress() {
    return std::make_unique<NoKeys>();
}

std::unique_ptr<CpuMeter> createCpuMeter() {
    return std::make_unique<NoLoad>();
}

} // namespace zen::console
