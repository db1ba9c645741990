#pragma once
// The colour pulse: one colour that darkens and lightens again in even
// steps, for a panel that shows a long wait. It runs on its own timer,
// whether the colour dialog that owns it is shown or not.

#include <QObject>
#include <functional>

class QTimer;

namespace tandex::settings {

class TColorPulse : public QObject {
    Q_OBJECT

public:
    explicit TColorPulse(QObject* parent = nullptr);

    // Steps per channel are bytes; a channel stops at 0 and 255, so one
    // that saturated does not come back exactly to the base.
    void SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep, int halfCycleTicks);
    // On: starts from the base with one tick at once, then every 50 ms.
    // Off: stops and hands the base out once more, so the panel ends in
    // its own colour.
    void EnablePulse(bool on);
    void T_FlashTimer();
    bool Running() const;

    std::function<void(quint32 color)> OnPulse;

    QTimer* T_Flash = nullptr;
    quint32 PulseBase = 0;
    quint32 PulseCurrent = 0;
    quint32 PulseStep = 0;
    bool PulseDarken = true;
    int PulseHalfSteps = 0;
    int PulseCountdown = 0;
};

}  // namespace tandex::settings
