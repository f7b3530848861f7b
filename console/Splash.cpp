#include "console/Splash.h"

#include "common/Palette.h"
#include "console/ConsoleHost.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 280;
constexpr int kPictureHeight = 150;
// Painting needs the display; should it never come, start-up goes on after this long.
constexpr int kPaintLimitMs = 2000;

QLabel* line(QWidget* parent, const QString& text, int pointSize, bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

// Two platters either side of a mixer with a crossfader, in the console's colours.
void drawProduct(QPainter& p, const QRect& area) {
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, zen::toQColor(zen::kConsolePanelBorder));
    const int radius = area.height() / 2 - 14;
    const int cy = area.center().y();
    for (const int cx : {area.left() + 24 + radius, area.right() - 24 - radius}) {
        p.setPen(QPen(zen::toQColor(zen::kConsoleMeterFill), 3));
        p.setBrush(zen::toQColor(zen::kConsolePanelFill));
        p.drawEllipse(QPoint(cx, cy), radius, radius);
        p.setBrush(zen::toQColor(zen::kConsoleBackground));
        p.drawEllipse(QPoint(cx, cy), radius / 3, radius / 3);
    }
    const QRect mixer(area.center().x() - 30, cy - radius, 60, 2 * radius);
    p.setPen(QPen(zen::toQColor(zen::kConsoleMeterFill), 2));
    p.setBrush(zen::toQColor(zen::kConsolePanelFill));
    p.drawRoundedRect(mixer, 6, 6);
    p.drawLine(mixer.left() + 10, mixer.bottom() - 16, mixer.right() - 10, mixer.bottom() - 16);
    p.fillRect(QRect(mixer.center().x() - 5, mixer.bottom() - 24, 10, 16),
               zen::toQColor(zen::kConsoleBackground));
}

} // namespace

Splash::Splash(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Zentari DJ"));
    setFixedSize(kWidth, kHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, zen::toQColor(zen::kConsoleBackground));
    setPalette(palette);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, kPictureHeight + 8, 10, 8);
    layout->setSpacing(2);
    layout->addWidget(line(this, QStringLiteral("Zentari DJ"), 16, true));
    layout->addWidget(
        line(this, QStringLiteral("Two decks and a console for the Linux desktop"), 9));
    layout->addWidget(line(this, QStringLiteral("By the Zentari DJ developers"), 9));
    layout->addWidget(line(this, QStringLiteral("Help and contact: docs/user-guide.md"), 9));
    layout->addWidget(line(this,
                           QStringLiteral("Sound: PortAudio, libsndfile, libmpg123, libopenmpt, "
                                          "JACK. Windows: Qt"),
                           8));
}

void Splash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawProduct(painter, QRect(0, 0, width(), kPictureHeight));
    painted_ = true;
}

void Splash::keyPressEvent(QKeyEvent*) {
    close();
}

void Splash::present(ConsoleHost& host) {
    painted_ = false;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    raise();
    const QDeadlineTimer limit(kPaintLimitMs);
    while (!painted_ && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    host.sleep(kShowMs);
    hide();
}
