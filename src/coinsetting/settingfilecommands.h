#pragma once

#include <QString>

#include <functional>

namespace pellix {

struct Services;

// How the commands reach the window's 16 channel boxes; index 0 is channel 1.
struct SettingBoxAccess {
    std::function<QString(int index)> text;
    std::function<void(int index, const QString& text)> setText;
};

// The "Parameter" menu's "Open" and "Save" of the coin number setting window: fill the 16
// boxes from a setting file, or write them to one. Neither talks to the hopper.
class SettingFileCommands {
  public:
    SettingFileCommands(Services& services, SettingBoxAccess boxes);

    void load();
    void save();

  private:
    // The dialog's initial name from the remembered value under `key`.
    QString startName(const char* key) const;

    Services& m_services;
    SettingBoxAccess m_boxes;
};

// The folder a file dialog starts in, given the remembered "Load_path" or "Save_path" value.
// With drive letters: the current folder of the drive its first character names. Without:
// the remembered folder (or the folder of the remembered file) while it exists, else
// `fallback`.
QString settingDialogFolder(const QString& remembered, const QString& fallback);

}  // namespace pellix
