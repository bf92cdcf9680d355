#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QTableView>
#include <QTest>

#include <memory>

#include "allwindows.h"

using namespace pellix;
using namespace pellix::test;

namespace {

struct Room {
    QString text;
    int needed = 0;     // pixels the text takes
    int available = 0;  // pixels the control has for it
    int lineHeight = 0;
    int height = 0;
};

// The width a line edit has for its text: its contents less the two pixels it keeps free.
Room roomOf(const QLineEdit& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box);
    const QMargins margins = box.textMargins();
    const QRect contents = box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box);
    return {box.text(), box.fontMetrics().horizontalAdvance(box.text()),
            contents.width() - 4 - margins.left() - margins.right(), box.fontMetrics().height(),
            contents.height()};
}

Room roomOf(const QLabel& label) {
    // A caption with a buddy draws its mnemonic marker as an underline, not as a character.
    QString shown = label.text();
    if (label.buddy() != nullptr) {
        shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    }
    return {shown, label.fontMetrics().horizontalAdvance(shown), label.contentsRect().width(),
            label.fontMetrics().height(), label.contentsRect().height()};
}

Room roomOf(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QString shown = QString(button.text()).remove(QLatin1Char('&'));
    if (button.property("wrapsText").toBool()) {
        const QRect needed =
            button.fontMetrics().boundingRect(contents, Qt::AlignCenter | Qt::TextWordWrap, shown);
        // A word longer than the line still overflows sideways; measure the widest one.
        int widestWord = 0;
        for (const QString& word : shown.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            widestWord = std::max(widestWord, button.fontMetrics().horizontalAdvance(word));
        }
        return {shown, widestWord, contents.width(), needed.height(), contents.height()};
    }
    return {shown, button.fontMetrics().horizontalAdvance(shown), contents.width(),
            button.fontMetrics().height(), contents.height()};
}

Room roomOf(const QAbstractButton& box, QStyle::SubElement element) {
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QRect contents = box.style()->subElementRect(element, &option, &box);
    const QString shown = QString(box.text()).remove(QLatin1Char('&'));
    return {shown, box.fontMetrics().horizontalAdvance(shown), contents.width(),
            box.fontMetrics().height(), contents.height()};
}

Room roomOf(const QGroupBox& frame) {
    QStyleOptionGroupBox option;
    option.initFrom(&frame);
    option.text = frame.title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = frame.alignment();
    const QRect label = frame.style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                      QStyle::SC_GroupBoxLabel, &frame);
    const QRect whole = frame.rect();
    // The caption may grow up to the frame's width; what counts is that it is not cut.
    return {frame.title(), frame.fontMetrics().horizontalAdvance(frame.title()),
            std::min(label.width(), whole.width()), frame.fontMetrics().height(), label.height()};
}

Room roomOf(const QComboBox& chooser) {
    QStyleOptionComboBox option;
    option.initFrom(&chooser);
    option.editable = chooser.isEditable();
    option.currentText = chooser.currentText();
    const QRect field = chooser.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                        QStyle::SC_ComboBoxEditField, &chooser);
    return {chooser.currentText(), chooser.fontMetrics().horizontalAdvance(chooser.currentText()),
            field.width(), chooser.fontMetrics().height(), field.height()};
}

// Every text a window shows in a control, with the room the control gives it.
QList<std::pair<QString, Room>> roomsIn(QWidget& window) {
    QList<std::pair<QString, Room>> rooms;
    auto add = [&](const QWidget& control, const Room& room) {
        if (control.isVisibleTo(&window) && !room.text.trimmed().isEmpty()) {
            rooms.append({control.objectName(), room});
        }
    };
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->wordWrap() && label->textFormat() != Qt::RichText && label->pixmap().isNull()) {
            add(*label, roomOf(*label));
        }
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        add(*button, roomOf(*button));
    }
    for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
        add(*box, roomOf(*box, QStyle::SE_CheckBoxContents));
    }
    for (const QRadioButton* box : window.findChildren<QRadioButton*>()) {
        add(*box, roomOf(*box, QStyle::SE_RadioButtonContents));
    }
    for (const QLineEdit* box : window.findChildren<QLineEdit*>()) {
        if (!qobject_cast<const QComboBox*>(box->parentWidget())) {
            add(*box, roomOf(*box));
        }
    }
    for (const QComboBox* chooser : window.findChildren<QComboBox*>()) {
        add(*chooser, roomOf(*chooser));
    }
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        add(*frame, roomOf(*frame));
    }
    for (const QTableView* grid : window.findChildren<QTableView*>()) {
        const QHeaderView* header = grid->horizontalHeader();
        if (!grid->model() || !header->isVisibleTo(&window)) {
            continue;
        }
        const QFontMetrics metrics = header->fontMetrics();
        for (int column = 0; column < header->count(); ++column) {
            const QString text = grid->model()->headerData(column, Qt::Horizontal).toString();
            rooms.append({QStringLiteral("%1 header %2").arg(grid->objectName()).arg(column),
                          {text, metrics.horizontalAdvance(text), header->sectionSize(column),
                           metrics.height(), header->height()}});
        }
    }
    return rooms;
}

}  // namespace

// Every text a window puts in a box, button, caption, frame or grid header shows whole. Run
// once at scale 1 and once with QT_SCALE_FACTOR=2.
class TextsFitTest : public QObject {
    Q_OBJECT
  private slots:
    void textsShowWhole_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : AllWindows::withAdded()) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }
    void textsShowWhole() {
        QFETCH(QString, kind);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QList<std::pair<QString, Room>> rooms = roomsIn(*window);
        QStringList cut;
        for (const auto& [name, room] : rooms) {
            if (room.needed > room.available || room.lineHeight > room.height) {
                cut << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                           .arg(name, room.text)
                           .arg(room.needed)
                           .arg(room.lineHeight)
                           .arg(room.available)
                           .arg(room.height);
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        if (kind != QLatin1String("launcher") && kind != QLatin1String("manual")) {
            QVERIFY(rooms.size() > 3);
        }
    }
};

QTEST_MAIN(TextsFitTest)
#include "test_textsfit.moc"
