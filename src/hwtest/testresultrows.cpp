#include "hwtest/testresultrows.h"

#include <QLabel>
#include <QPixmap>

#include <algorithm>
#include <string_view>

#include "hwtest/hwtestlayout.h"
#include "hwtest/hwtesttexts.h"
#include "platform/services.h"
#include "widgets/formwidgets.h"
#include "widgets/twips.h"

namespace pellix::hwtest {
namespace {

// Where the rows are drawn (twips).
constexpr int kItemCaptionLeft = 6480;
constexpr int kItemIconLeft = 7800;
constexpr int kItemStatusLeft = 8640;
constexpr int kItemTop = 150;
constexpr int kItemPitch = 570;
constexpr int kIconSize = 480;
constexpr int kStatusWidth = 1200;
constexpr int kStatusFontPoints = 9;
// Rows from the top by item index: Prism Sensor (4) sits below Shaft Sensor (5).
constexpr std::array<int, kTestItemCount> kItemRow = {0, 1, 2, 3, 5, 4};

}  // namespace

TestResultRows::TestResultRows(QWidget& window, const ProgramFolder& folder) : m_folder(folder) {
    const QFont captionFont = pointFont(window, layout::kCaptionFontPoints);
    const QFont statusFont = pointFont(window, kStatusFontPoints);
    std::array<QLabel*, kTestItemCount> captions{};
    for (int i = 0; i < kTestItemCount; ++i) {
        auto* label =
            addCaption(&window, QStringLiteral("Label3_%1").arg(i),
                       toQString(texts::kTestItemCaptions[static_cast<std::size_t>(i)]), QRect());
        label->setFont(captionFont);
        captions[static_cast<std::size_t>(i)] = label;
    }
    // Icons and status captions stand where designed unless the captions run wider.
    const int iconLeft =
        columnBesideCaptions(captions, twips(kItemCaptionLeft), twips(kItemIconLeft));
    const int statusLeft =
        std::max(twips(kItemStatusLeft), iconLeft + twips(kIconSize) + kCaptionGapPixels);
    for (int i = 0; i < kTestItemCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const int top = twips(kItemTop + kItemRow[slot] * kItemPitch);
        // Spoken names come with the light each picture shows.
        auto* picture =
            addControl<QLabel>(&window, QStringLiteral("Picture1_%1").arg(i), QString(),
                               QRect(iconLeft, top, twips(kIconSize), twips(kIconSize)));
        picture->setScaledContents(true);
        m_pictures[slot] = picture;
        placeCaptionBeside(*captions[slot], twips(kItemCaptionLeft), picture->geometry());

        auto* status = addCaption(&window, QStringLiteral("Label5_%1").arg(i),
                                  toQString(texts::kUnknownCaption),
                                  QRect(statusLeft, top, twips(kStatusWidth), twips(kIconSize)));
        status->setFont(statusFont);
        status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        showsValue(*status, captions[slot]->text());
        m_statuses[slot] = status;
    }
}

void TestResultRows::showResult(TestItem item, TestResult result) {
    Light light = Light::Undetermined;
    switch (result) {
        case TestResult::Pass:
            light = Light::Pass;
            break;
        case TestResult::Fail:
            light = Light::Fail;
            break;
        case TestResult::Undetermined:
            light = Light::Undetermined;
            break;
    }
    showLight(static_cast<int>(item), light);
}

void TestResultRows::showAllNotTested() {
    for (int i = 0; i < kTestItemCount; ++i) {
        showLight(i, Light::NotTested);
    }
}

void TestResultRows::showLight(int itemIndex, Light light) {
    struct Look {
        std::string_view iconFile;
        std::string_view caption;
        std::string_view spoken;
    };
    Look look{};
    switch (light) {
        case Light::Pass:
            look = {texts::kPassIconFile, texts::kPassCaption, texts::kPassSpoken};
            break;
        case Light::Fail:
            look = {texts::kFailIconFile, texts::kFailCaption, texts::kFailSpoken};
            break;
        case Light::Undetermined:
            look = {texts::kUndeterminedIconFile, texts::kUnknownCaption,
                    texts::kUndeterminedSpoken};
            break;
        case Light::NotTested:
            look = {texts::kNotTestedIconFile, texts::kUnknownCaption, texts::kNotTestedSpoken};
            break;
    }
    const auto slot = static_cast<std::size_t>(itemIndex);
    QLabel* picture = m_pictures[slot];
    // Read every time, as the icons may be replaced beside the program; a missing or
    // unreadable file leaves the picture empty.
    const QPixmap icon(m_folder.filePath(toQString(look.iconFile)));
    if (icon.isNull()) {
        picture->clear();
    } else {
        picture->setPixmap(icon);
    }
    const QString spoken =
        toQString(texts::kTestItemCaptions[slot]) + QStringLiteral(": ") + toQString(look.spoken);
    picture->setAccessibleName(spoken);
    picture->setToolTip(spoken);
    m_statuses[slot]->setText(toQString(look.caption));
}

}  // namespace pellix::hwtest
