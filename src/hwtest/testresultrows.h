#pragma once

#include <array>

#include "hwtest/teststreamreceiver.h"

class QLabel;
class QWidget;

namespace pellix {
class ProgramFolder;
}

namespace pellix::hwtest {

// The six test item rows of the hardware test window: caption, signal-light icon and status
// caption. The controls stand on the window; the rows place them and show each item's light.
class TestResultRows {
  public:
    // Builds the rows on `window`; the icons are read from `folder` each time one is shown.
    TestResultRows(QWidget& window, const ProgramFolder& folder);

    void showResult(TestItem item, TestResult result);
    // Every item back to "not yet tested", as at load and on Reset.
    void showAllNotTested();

  private:
    // What a test item's icon and status caption show.
    enum class Light { Pass, Fail, Undetermined, NotTested };

    void showLight(int itemIndex, Light light);

    const ProgramFolder& m_folder;
    std::array<QLabel*, kTestItemCount> m_pictures{};
    std::array<QLabel*, kTestItemCount> m_statuses{};
};

}  // namespace pellix::hwtest
