#include "widgets/formwidgets.h"
#include "widgets/artwork.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

#include "platform/services.h"

namespace pellix {
namespace {

constexpr int kDialogFontPoints = 8;

}  // namespace

namespace {

// Ctrl+Tab (and Ctrl+Shift+Tab) moves on from a table as Tab does elsewhere.
class ControlTabLeaves final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool back = key->key() == Qt::Key_Backtab;
        if ((key->key() != Qt::Key_Tab && !back) || !(key->modifiers() & Qt::ControlModifier)) {
            return false;
        }
        QKeyEvent plain(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        QCoreApplication::sendEvent(watched, &plain);
        return true;
    }
};

}  // namespace

void useAddedWindowKeys(QWidget& window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape->setObjectName(QStringLiteral("closeShortcut"));
    QObject::connect(escape, &QShortcut::activated, &window, &QWidget::close);
    auto* controlTab = new ControlTabLeaves(&window);
    for (QAbstractItemView* view : window.findChildren<QAbstractItemView*>()) {
        view->setTabKeyNavigation(false);
        view->installEventFilter(controlTab);
    }
}

void setUpWindow(QWidget& window, const QString& name, const QString& title,
                 const ProgramFolder& folder, const QString& iconFile) {
    window.setObjectName(name);
    window.setWindowTitle(title);
    window.setWindowIcon(artworkIcon(folder.filePath(iconFile)));
}

void useDialogFont(QWidget& window) {
    window.setFont(pointFont(window, kDialogFontPoints));
}

QFont pointFont(const QWidget& widget, int points) {
    QFont font = widget.font();
    font.setPointSize(points);
    return font;
}

QString spokenCaption(const QString& caption) {
    return QString(caption).remove(QLatin1Char('&'));
}

void nameControl(QWidget& control, const QString& name, const QString& spokenName) {
    control.setObjectName(name);
    control.setAccessibleName(spokenName);
}

QLabel* addCaption(QWidget* parent, const QString& name, const QString& text, const QRect& rect) {
    auto* label = addControl<QLabel>(parent, name, text, rect, text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* addCaption(QWidget* parent, const QString& name, const QString& text, QPoint at) {
    QLabel* label = addCaption(parent, name, text, QRect());
    label->move(at);
    label->adjustSize();
    return label;
}

QGroupBox* addFrame(QWidget* parent, const QString& name, const QString& caption,
                    const QRect& rect) {
    return addControl<QGroupBox>(parent, name, caption, rect, caption);
}

void placeDropDown(QWidget& list, int x, int y, int width) {
    list.setGeometry(x, y, width, list.sizeHint().height());
}

int columnBesideCaptions(std::span<QLabel* const> captions, int captionLeft, int designedLeft) {
    int widest = 0;
    for (const QLabel* caption : captions) {
        widest = std::max(widest, caption->fontMetrics().horizontalAdvance(caption->text()));
    }
    return std::max(designedLeft, captionLeft + widest + kCaptionGapPixels);
}

void placeCaptionBeside(QLabel& caption, int left, const QRect& control) {
    caption.setGeometry(left, control.y(), control.x() - left, control.height());
    caption.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QStatusBar* addStatusBar(QWidget* window, bool sizeGrip) {
    auto* bar = new QStatusBar(window);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(sizeGrip);
    return bar;
}

void showsValue(QLabel& label, const QString& whatItIs) {
    // With no name of its own a label is spoken as the text it shows.
    label.setAccessibleName(QString());
    label.setAccessibleDescription(whatItIs);
}

QLabel* addStatusPanel(QStatusBar* bar, int number, const QString& whatItIs) {
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("%1_Panel%2").arg(bar->objectName()).arg(number));
    showsValue(*panel, whatItIs.isEmpty() ? QStringLiteral("Link State") : whatItIs);
    bar->addWidget(panel, 1);
    return panel;
}

void fixSizeWithStatusBar(QWidget& window, QStatusBar& bar, QSize client, int top,
                          std::optional<int> barHeight) {
    const int height = barHeight.value_or(bar.sizeHint().height());
    bar.setGeometry(0, top + client.height(), client.width(), height);
    window.setFixedSize(client.width(), top + client.height() + height);
}

}  // namespace pellix
