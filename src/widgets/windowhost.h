#pragma once

class QWidget;

namespace pellix {

enum class WindowKind { CoinSetting, Manual, Simulation, CnyTester, HardwareTest };

// What a tool window may ask of the rest of the program.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void showLauncher() = 0;
    // Loads the window if needed and shows it; nullptr when that kind cannot be built.
    virtual QWidget* open(WindowKind kind) = 0;
    // Loads the window if needed without showing it.
    virtual QWidget* load(WindowKind kind) = 0;
};

}  // namespace pellix
