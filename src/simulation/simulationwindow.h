#pragma once

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <span>

#include "simulation/tzvsimulation.h"

class QLabel;
class QPushButton;

namespace pellix {

class LockedComboBox;
class SerialLink;
class WindowHost;
struct Services;

// What the protocol simulation window keeps between its loads: the hint's typing position and
// the animation step belong to the window object, not to its controls.
struct SimulationState {
    tzv::HintTyper hint;
    tzv::Animation animation;
};

// The protocol simulation window (Form3): plays the host side of the TZV interface by hand.
class SimulationWindow final : public QWidget {
    Q_OBJECT
  public:
    SimulationWindow(Services& services, WindowHost& host, SimulationState& state,
                     QWidget* parent = nullptr);

    SerialLink& link() { return *m_link; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void onPortPicked(int position);
    void onStartUp();
    void onDispense();
    void onHintTick();
    void onAnimationTick();
    void restartAnimation();
    void send(std::span<const std::uint8_t> bytes);
    void note(std::string_view text);

    Services& m_services;
    WindowHost& m_host;
    SimulationState& m_state;
    SerialLink* m_link = nullptr;
    std::uint8_t m_channelByte = tzv::kFirstChannel;

    QLabel* m_hint = nullptr;
    QLabel* m_animation = nullptr;
    LockedComboBox* m_channels = nullptr;
    LockedComboBox* m_ports = nullptr;
    QLabel* m_panel = nullptr;
    QTimer* m_animationTimer = nullptr;
    QTimer* m_hintTimer = nullptr;
};

}  // namespace pellix
