#pragma once

#include <QWidget>

#include <optional>

#include "common/portassignment.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace pellix {

class ComPortMap;

// The COM numbers of this machine, COM1 to COM12: the device behind each, whether it is there
// now, and the two things a technician may change: move a device to a free number, forget one
// that is gone. Changes are stored at once; the table follows plugging while it is open.
class SerialPortsWindow final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 1000;
    enum Column {
        Port,
        Device,
        Description,
        Manufacturer,
        SerialNumber,
        Ids,
        Present,
        LastError,
        Columns
    };

    explicit SerialPortsWindow(const ComPortMap& comPorts, QWidget* parent = nullptr);

    void refresh();

  private:
    void buildControls();
    void wireControls();
    void showTable();
    int selectedNumber() const;
    void updateActions();
    void onMove();
    void onForget();

    const ComPortMap& m_comPorts;
    QTableWidget* m_table = nullptr;
    QComboBox* m_moveTo = nullptr;
    QPushButton* m_move = nullptr;
    QPushButton* m_forget = nullptr;
    QPushButton* m_close = nullptr;
    QLabel* m_note = nullptr;
    QTimer* m_refresh = nullptr;
    std::optional<PortAssignment> m_shown;
};

}  // namespace pellix
