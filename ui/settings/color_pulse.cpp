#include "color_pulse.h"

#include <QTimer>

#include "config/sys_helpers.h"

namespace tandex::settings {

TColorPulse::TColorPulse(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ColorPulse"));
    T_Flash = new QTimer(this);
    T_Flash->setObjectName(QStringLiteral("T_Flash"));
    T_Flash->setInterval(50);
    connect(T_Flash, &QTimer::timeout, this, &TColorPulse::T_FlashTimer);
}

void TColorPulse::SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep, int halfCycleTicks) {
    PulseBase = base;
    PulseCurrent = base;
    PulseStep = quint32(redStep) | (quint32(greenStep) << 8) | (quint32(blueStep) << 16);
    PulseHalfSteps = halfCycleTicks;
}

void TColorPulse::EnablePulse(bool on) {
    if (!on) {
        T_Flash->stop();
        if (OnPulse) OnPulse(PulseBase);
        return;
    }
    if (!OnPulse) return;
    PulseCurrent = PulseBase;
    PulseDarken = true;
    PulseCountdown = PulseHalfSteps + 1;
    T_FlashTimer();
    T_Flash->start();
}

void TColorPulse::T_FlashTimer() {
    if (!OnPulse) return;
    PulseCurrent = PulseDarken ? config::ColorSubSat(PulseCurrent, PulseStep)
                               : config::ColorAddSat(PulseCurrent, PulseStep);
    // A half cycle of 0 ticks or less turns at every tick instead of never.
    if (--PulseCountdown <= 0) {
        PulseDarken = !PulseDarken;
        PulseCountdown = PulseHalfSteps;
    }
    OnPulse(PulseCurrent);
}

bool TColorPulse::Running() const {
    return T_Flash->isActive();
}

}  // namespace tandex::settings
