#include "core/widgets/page_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QToolButton>

namespace quendrix {

QToolButton* MakeSpeedButton(const QString& name, const QString& text, const QString& hint,
                             QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLabel* MakeValueLabel(const QString& name, QWidget* parent, std::optional<QColor> colour) {
    auto* label = MakeLabel(name, QString(), parent);
    label->setMinimumWidth(50);
    if (colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *colour);
        label->setPalette(palette);
    }
    return label;
}

QLineEdit* MakeEdit(const QString& name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

QCheckBox* MakeCheckBox(const QString& name, const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

QComboBox* MakeChoice(const QString& name, int from, int to, int step, int chosen,
                      QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (int value = from; value <= to; value += step) {
        box->addItem(QString::number(value));
    }
    box->setCurrentText(QString::number(chosen));
    // Never narrower than its longest number: a shrunk box would show "250" for 2500.
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

}  // namespace quendrix
