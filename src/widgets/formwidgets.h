#pragma once

#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>

#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "platform/qttext.h"

class QGroupBox;
class QStatusBar;

// The few steps every window takes to put its controls up, in one place so that the names tools
// and screen readers find, and the twips layout, come out the same way everywhere.
namespace pellix {

class ProgramFolder;

// The fixed single border: a title and a close box, no minimise or maximise box, no resizing.
inline constexpr Qt::WindowFlags kFixedToolWindowFlags =
    Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
    Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;

// Pixels kept between a caption and the control beside it.
inline constexpr int kCaptionGapPixels = 4;

// For the windows the tool adds beside the defined ones: Esc closes the window, and Tab,
// Shift+Tab and Ctrl+Tab leave its tables instead of walking their cells. Call once the
// window's controls are built.
void useAddedWindowKeys(QWidget& window);

// Names a window and gives it its title and its icon, read from the program folder
// (`iconFile` as "\\Name.ico").
void setUpWindow(QWidget& window, const QString& name, const QString& title,
                 const ProgramFolder& folder, const QString& iconFile);

// Some layouts were drawn for an 8-point dialog font; larger defaults cut their captions off.
// Set on the window, every control on it inherits it.
void useDialogFont(QWidget& window);

// The widget's font at another point size.
QFont pointFont(const QWidget& widget, int points);

// What a screen reader says for a caption: the caption without its mnemonic marker.
QString spokenCaption(const QString& caption);

// Names a control for tools and tests (`name`, its control name) and for screen readers.
void nameControl(QWidget& control, const QString& name, const QString& spokenName);

// A control on `parent`, named and placed; `args` go to its constructor ahead of the parent.
template <typename Control, typename... Args>
Control* addControl(QWidget* parent, const QString& name, const QString& spokenName,
                    const QRect& rect, Args&&... args) {
    auto* control = new Control(std::forward<Args>(args)..., parent);
    nameControl(*control, name, spokenName);
    control->setGeometry(rect);
    return control;
}

// A push button (or a button class built on it) spoken as its caption.
template <typename Button = QPushButton>
Button* addButton(QWidget* parent, const QString& name, const QString& caption, const QRect& rect) {
    return addControl<Button>(parent, name, spokenCaption(caption), rect, caption);
}

// A caption shown exactly as written (no markup, no mnemonic) and spoken as itself.
QLabel* addCaption(QWidget* parent, const QString& name, const QString& text, const QRect& rect);
// The same, sized to its text with its top left corner at `at`.
QLabel* addCaption(QWidget* parent, const QString& name, const QString& text, QPoint at);

// A frame around a group of controls, spoken as its caption.
QGroupBox* addFrame(QWidget* parent, const QString& name, const QString& caption,
                    const QRect& rect);

// Drop-down lists keep their natural height; only their place and width come from the layout.
void placeDropDown(QWidget& list, int x, int y, int width);

// Where the controls beside a column of captions starting at `captionLeft` begin: at
// `designedLeft`, or further right where the widest caption runs wider in its font.
int columnBesideCaptions(std::span<QLabel* const> captions, int captionLeft, int designedLeft);

// Gives a caption the row of the control it names, from `left` up to the control.
void placeCaptionBeside(QLabel& caption, int left, const QRect& control);

// The window's status bar ("StatusBar1"); a sizable window shows its size grip in it.
QStatusBar* addStatusBar(QWidget* window, bool sizeGrip = false);

// A label that shows a value (a status text, a result word) is spoken as what it shows; what it
// is goes in its description.
void showsValue(QLabel& label, const QString& whatItIs);

// Panel `number` (from 1) of the status bar, named after it ("StatusBar1_Panel1"); the panels
// share the bar's width equally and are spoken as what they show (panel 1 is the link state
// unless said otherwise).
QLabel* addStatusPanel(QStatusBar* bar, int number, const QString& whatItIs = {});

// Lays a fixed-size window out as a client area of `client` pixels starting `top` pixels down
// (below a menu bar, say) with the status bar under it, and fixes the window's size to hold
// both. The bar keeps its natural height unless the layout gives it one.
void fixSizeWithStatusBar(QWidget& window, QStatusBar& bar, QSize client, int top = 0,
                          std::optional<int> barHeight = std::nullopt);

}  // namespace pellix
