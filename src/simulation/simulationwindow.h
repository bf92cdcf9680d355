#pragma once

#include <QTimer>
#include <QWidget>

#include "simulation/tzvrecorder.h"
#include "simulation/tzvsimulation.h"

class QLabel;
class QPushButton;

namespace pellix {

class Capture;

class LockedComboBox;
class SerialLink;
class SerialLinePort;
class WindowHost;
struct Services;

// What the protocol simulation window keeps between its loads: the hint's typing position and
// the animation step belong to the window object, not to its controls.
struct SimulationState {
    tzv::HintTyper hint;
    tzv::Animation animation;
};

// The protocol simulation window (Form3): plays the host side of the TZV interface by hand. The
// host engine sends through the window's line port; the window forwards clicks and shows.
class SimulationWindow final : public QWidget, private tzv::HostView {
    Q_OBJECT
  public:
    SimulationWindow(Services& services, WindowHost& host, SimulationState& state,
                     Capture* capture = nullptr);

    SerialLink& link() { return *m_link; }
    // The commands sent through each opening of the port become a service run handed to `keep`
    // (with this window's capture); nothing on the window shows it.
    void keepRunsWith(tzv::TzvRecorder::Keep keep) { m_keepRuns = std::move(keep); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void wireControls();
    void load();
    void onPortPicked(int position);
    void keepRun(records::ServiceRun run);
    void onStartUp();
    void onDispense();
    void onHintTick();
    void onAnimationTick();

    // tzv::HostView
    void commandSent() override;
    void showStartUpHint() override;

    Services& m_services;
    WindowHost& m_host;
    SimulationState& m_state;
    SerialLinePort* m_line = nullptr;
    SerialLink* m_link = nullptr;
    Capture* m_capture = nullptr;
    tzv::TzvRecorder::Keep m_keepRuns;
    tzv::TzvRecorder m_recorder{[this](records::ServiceRun run) { keepRun(run); }};
    tzv::Host m_hostEngine;

    QLabel* m_hint = nullptr;
    QPushButton* m_startUp = nullptr;
    QPushButton* m_dispense = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_animation = nullptr;
    LockedComboBox* m_channels = nullptr;
    LockedComboBox* m_ports = nullptr;
    QLabel* m_panel = nullptr;
    QTimer* m_animationTimer = nullptr;
    QTimer* m_hintTimer = nullptr;
};

}  // namespace pellix
