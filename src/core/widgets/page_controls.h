// The small controls every tool page builds by the dozen: speed buttons, labels, value
// labels, edits, check boxes and number choices, each under its given object name.
#pragma once

#include <QColor>
#include <QString>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace quendrix {

// A flat tool button with its text and its hint (tool tip).
QToolButton* MakeSpeedButton(const QString& name, const QString& text, const QString& hint,
                             QWidget* parent);

QLabel* MakeLabel(const QString& name, const QString& text, QWidget* parent);

// A blank label for a counter, 50 pixels wide at least so the row does not jump as the
// number grows; in the given colour where one is given.
QLabel* MakeValueLabel(const QString& name, QWidget* parent,
                       std::optional<QColor> colour = std::nullopt);

QLineEdit* MakeEdit(const QString& name, const QString& text, QWidget* parent);

QCheckBox* MakeCheckBox(const QString& name, const QString& text, QWidget* parent);

// A drop-down list of the numbers from..to in steps of step, showing chosen.
QComboBox* MakeChoice(const QString& name, int from, int to, int step, int chosen, QWidget* parent);

}  // namespace quendrix
