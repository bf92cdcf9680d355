#pragma once

class QIcon;
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
    // Gives the window `icon`: at once when it is loaded, else when it is next loaded. Nothing is
    // loaded for it, so no window opens a port behind the technician's back.
    virtual void setIcon(WindowKind kind, const QIcon& icon) = 0;
};

}  // namespace pellix
