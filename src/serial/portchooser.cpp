#include "serial/portchooser.h"

#include <QEvent>
#include <QPointer>

#include "serial/seriallink.h"
#include "widgets/lockedcombobox.h"

namespace pellix {
namespace {

void setPortTooltips(QComboBox& chooser, const SerialLink& link) {
    const std::vector<PortTarget> targets = link.targets(chooser.count());
    for (int i = 0; i < chooser.count(); ++i) {
        const QString& label = targets[static_cast<std::size_t>(i)].label;
        chooser.setItemData(i, label, Qt::ToolTipRole);
        // Read out by screen readers with the entry, for those who never see a tooltip.
        chooser.setItemData(i, label, Qt::AccessibleDescriptionRole);
    }
}

// Adapters come and go while a window is open: the tooltips are read again whenever the
// technician turns to the list, so they name what is plugged in now.
class PortTooltips final : public QObject {
  public:
    PortTooltips(QComboBox& chooser, const SerialLink& link)
        : QObject(&chooser), m_chooser(chooser), m_link(&link) {
        chooser.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (m_link && (type == QEvent::FocusIn || type == QEvent::MouseButtonPress ||
                       type == QEvent::KeyPress)) {
            setPortTooltips(m_chooser, *m_link);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QComboBox& m_chooser;
    QPointer<const SerialLink> m_link;
};

}  // namespace

void fillPortChooser(LockedComboBox& chooser, const SerialLink& link, int count) {
    chooser.clear();
    for (int n = 1; n <= count; ++n) {
        chooser.addItem(QStringLiteral("COM%1").arg(n));
    }
    setPortTooltips(chooser, link);
    new PortTooltips(chooser, link);
    chooser.setShownText(QStringLiteral("COM1"));
}

}  // namespace pellix
