#pragma once

#include <QString>
#include <string>
#include <vector>

// What the deck needs from its surroundings: message boxes, the end of the process, the program
// folder, the sound devices and whether it was relaunched. The program uses SystemDeckHost; tests
// record instead, so a message never blocks them and an exit never ends them.
class DeckHost {
public:
    enum class Icon { None, Critical };

    virtual ~DeckHost() = default;

    // Modal in the program. An empty title stands for the program's own name.
    virtual void showMessage(const QString& text, const QString& title, Icon icon) = 0;
    // Ends the process at once in the program (no further window events run). In tests it
    // returns, and the caller goes no further.
    virtual void endProcess() = 0;
    // The folder of the programs and styles.ini; the settings folder is named from it.
    virtual QString programFolder() const = 0;
    // The sound output devices, numbered from 0 as the engine numbers them.
    virtual std::vector<std::string> outputDevices() const = 0;
    // The deck process whose record this deck resumes from: the console names the one that died
    // when it relaunches it. 0 for a deck started afresh.
    virtual qint64 resumeFrom() const = 0;
};

class SystemDeckHost : public DeckHost {
public:
    void showMessage(const QString& text, const QString& title, Icon icon) override;
    void endProcess() override;
    QString programFolder() const override;
    std::vector<std::string> outputDevices() const override;
    qint64 resumeFrom() const override;
};
