#pragma once

#include <QSpinBox>

namespace velluma {

/// A spin box for whole numbers in which a typed number beyond the range stands for the
/// nearest end of it (150 in a box of 1 to 100 becomes 100 as it is typed; 0 becomes 1 when
/// the box is left), instead of the keystroke being refused.
class ClampingSpinBox final : public QSpinBox {
    Q_OBJECT
public:
    explicit ClampingSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
};

}  // namespace velluma
