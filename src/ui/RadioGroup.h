#pragma once

#include <QGroupBox>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;
class QVBoxLayout;

namespace velluma {

/// A captioned group of radio buttons addressed by item index (-1: none selected).
class RadioGroup final : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    /// Replaces the items; the selected index stays when it still exists.
    void setItems(const QStringList& items);
    int itemCount() const;
    /// Fixed height of each item (0: natural height).
    void setItemSpacing(int height);
    int itemIndex() const;
    void setItemIndex(int index);
    /// The radio button of an item, for tests and focus.
    QAbstractButton* button(int index) const;

Q_SIGNALS:
    /// The user or the program selected another item.
    void changed();

private:
    QButtonGroup* m_group;
    QVBoxLayout* m_layout;
    int m_itemHeight = 0;
};

}  // namespace velluma
