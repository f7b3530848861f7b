#include "deck/DeckHost.h"

#include "common/DeckRecord.h"
#include "common/sound/Outputs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

void SystemDeckHost::showMessage(const QString& text, const QString& title, Icon icon) {
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    title.isEmpty() ? QCoreApplication::applicationName() : title, text,
                    QMessageBox::Ok);
    // The texts carry the command-line argument: shown as it is, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void SystemDeckHost::endProcess() {
    // Immediate: no window event, static destructor or engine thread may run after the shutdown.
    std::fflush(nullptr);
    std::_Exit(0);
}

QString SystemDeckHost::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

std::vector<std::string> SystemDeckHost::outputDevices() const {
    return zen::sound::descriptions(zen::sound::listOutputs());
}

qint64 SystemDeckHost::resumeFrom() const {
    return qEnvironmentVariableIntValue(zen::runtime::kResumeVariable);
}
