#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velluma {

RadioGroup::RadioGroup(QWidget* parent)
    : QGroupBox(parent), m_group(new QButtonGroup(this)), m_layout(new QVBoxLayout(this)) {
    m_layout->setContentsMargins(8, 4, 8, 4);
    m_layout->setSpacing(2);
    connect(m_group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) Q_EMIT changed();
    });
}

void RadioGroup::setItems(const QStringList& items) {
    const int keep = itemIndex();
    const auto old = m_group->buttons();
    for (QAbstractButton* b : old) {
        m_group->removeButton(b);
        delete b;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
        if (m_itemHeight > 0) {
            b->setFixedHeight(m_itemHeight);
            b->setStyleSheet(
                QStringLiteral("QRadioButton { padding-bottom: %1px; }").arg(m_itemHeight - 20));
        }
        m_group->addButton(b, i);
        m_layout->addWidget(b);
    }
    if (keep >= 0 && keep < items.size()) {
        const QSignalBlocker block(m_group);
        m_group->button(keep)->setChecked(true);
    }
}

void RadioGroup::setItemSpacing(int height) {
    m_itemHeight = height;
    m_layout->setAlignment(Qt::AlignTop);
}

int RadioGroup::itemCount() const {
    return static_cast<int>(m_group->buttons().size());
}

int RadioGroup::itemIndex() const {
    return m_group->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = m_group->button(index)) {
        b->setChecked(true);
        return;
    }
    // No item: clear the selection, which an exclusive group does not allow directly.
    if (QAbstractButton* checked = m_group->checkedButton()) {
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
        Q_EMIT changed();
    }
}

QAbstractButton* RadioGroup::button(int index) const {
    return m_group->button(index);
}

}  // namespace velluma
