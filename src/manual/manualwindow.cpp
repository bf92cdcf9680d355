#include "manual/manualwindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

#include "manual/rtfdocument.h"
#include "manual/rtfreader.h"
#include "platform/services.h"
#include "widgets/formwidgets.h"
#include "widgets/twips.h"
#include "widgets/windowhost.h"

namespace pellix {
namespace {

// Every text this window shows.
constexpr const char* kCaption = "Manual";
constexpr const char* kVersionFrame = "Version";
constexpr const char* kInstructionFrame = "Instruction";
constexpr const char* kProduct = "APPLY PRODUCT:QD-310 TZV+Hopper+CNY Mode+ CCTALK Mode";
constexpr const char* kFirmware =
    "APPLY FIRMWARE:UP TO TD3&BQRM50 and UP TO TDNQRCN50 and UP TO TD3&HQRMM53";
constexpr const char* kInterface = "APPLY INTERFACE:TZV001  /  TZV002  /  China Interface";
constexpr const char* kRelease = "TZV 2010.02.05";
constexpr const char* kClose = "&Close";
constexpr const char* kLoadFailed = "File Does Not Exist Or In Using";
constexpr const char* kErrorTitle = "Error";
constexpr const char* kManualFile = "\\Manual5.rtf";
constexpr const char* kLogoFile = "\\manual_logo.png";
constexpr const char* kIconFile = "\\pellix.ico";

constexpr int kFrameInset = 4;  // pixels kept free inside a frame's right border

QString text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

// The product labels hold ampersands as ordinary characters: plain text and no buddy, so no
// mnemonic is taken from them.
QLabel* fixedLabel(QWidget* parent, const QString& name, const char* content, int x, int y) {
    QLabel* label = addCaption(parent, name, text(content), QPoint(twips(x), twips(y)));
    // With a wider system font than the one the layout was drawn for, a label near the right
    // edge moves left just enough to stay whole inside its frame.
    const int overhang = label->geometry().right() - (parent->width() - kFrameInset);
    if (overhang > 0) {
        label->move(std::max(0, label->x() - overhang), label->y());
    }
    return label;
}

}  // namespace

ManualWindow::ManualWindow(Services& services, WindowHost& host, QWidget* parent)
    : QWidget(parent, kFixedToolWindowFlags), m_services(services), m_host(host) {
    setUpWindow(*this, QStringLiteral("Form2"), text(kCaption), services.folder, text(kIconFile));
    setFixedSize(twipsSize(12390, 9150));

    auto* logo = addControl<QLabel>(this, QStringLiteral("Picture1"), QStringLiteral("Pellix logo"),
                                    twipsRect(240, 240, 1575, 1215));
    logo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    logo->setBackgroundRole(QPalette::Window);
    logo->setAutoFillBackground(true);
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logo->setPixmap(QPixmap(services.folder.filePath(text(kLogoFile))));

    QGroupBox* version = addFrame(this, QStringLiteral("Frame1"), text(kVersionFrame),
                                  twipsRect(2040, 0, 10215, 1815));
    fixedLabel(version, QStringLiteral("Label1"), kProduct, 480, 360);
    fixedLabel(version, QStringLiteral("Label3"), kFirmware, 480, 675);
    fixedLabel(version, QStringLiteral("Label2_0"), kInterface, 480, 1005);
    fixedLabel(version, QStringLiteral("Label4"), kRelease, 8880, 1440);

    auto* line =
        addControl<QFrame>(this, QStringLiteral("Line1"), QStringLiteral("Line"),
                           QRect(twips(120), twips(2040), twips(12240) - twips(120) + 1, 1));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);

    QGroupBox* instruction = addFrame(this, QStringLiteral("Frame2"), text(kInstructionFrame),
                                      twipsRect(120, 2280, 12135, 6255));
    m_instruction = addControl<QTextEdit>(instruction, QStringLiteral("RichTextBox1"),
                                          instruction->title(), twipsRect(120, 240, 11895, 5895));
    m_instruction->setReadOnly(true);
    m_instruction->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_instruction->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    auto* closeButton =
        addButton(this, QStringLiteral("Command1"), text(kClose), twipsRect(4800, 8640, 855, 375));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    loadInstruction();
}

void ManualWindow::loadInstruction() {
    const QString path = m_services.folder.filePath(text(kManualFile));
    // Only a regular file is opened: a pipe or device of that name could block the program.
    QFile file(path);
    const bool readable = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    QByteArray bytes;
    if (readable) {
        bytes = file.read(static_cast<qint64>(RtfReader::kMaxInputBytes) + 1);
    }
    if (!readable || file.error() != QFileDevice::NoError) {
        m_loadFailed = true;
        m_services.messages.show(text(kLoadFailed), text(kErrorTitle), MessageIcon::Critical);
        // Closed from the event loop: whoever is building this window gets it back intact.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // A file that is there but holds no readable RTF leaves the text area empty.
    const RtfReadResult result =
        readRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (result.error == RtfError::None) {
        buildTextDocument(result.document, *m_instruction->document());
        m_instruction->moveCursor(QTextCursor::Start);  // the view opens at the top
    }
}

void ManualWindow::setVisible(bool visible) {
    QWidget::setVisible(visible && !m_loadFailed);
}

void ManualWindow::closeEvent(QCloseEvent* event) {
    m_host.showLauncher();
    event->accept();
}

}  // namespace pellix
