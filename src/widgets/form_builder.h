#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QObject;
class QWidget;

#include <functional>
#include <initializer_list>

// Small helpers that create the tool's controls with their designer names as objectName,
// their captions, ranges and defaults. Spin edits and pick-lists are as wide as their
// contents (see also field_width.h).
namespace form {

QGroupBox* group(QWidget* parent, const QString& name, const QString& caption);
QLabel* label(QWidget* parent, const QString& name, const QString& caption);
QPushButton* button(QWidget* parent, const QString& name, const QString& caption);
QSpinBox* spin(QWidget* parent, const QString& name, int min, int max, int value);
// A pick-list: the user chooses among the items and cannot type.
QComboBox* combo(QWidget* parent, const QString& name, const QStringList& items, int current = 0);
QLineEdit* edit(QWidget* parent, const QString& name, int maxLength = 32767,
                const QString& text = QString());
QCheckBox* check(QWidget* parent, const QString& name, const QString& caption,
                 bool checked = false);
QRadioButton* radio(QWidget* parent, const QString& name, const QString& caption,
                    bool checked = false);

// Adds "caption" in column `col` and the field in `col + 1` of a grid row; returns the label.
QLabel* row(QGridLayout* grid, int r, int col, const QString& labelName, const QString& caption,
            QWidget* field);

// A button of a group's grid: designer name, caption (UTF-8), click handler, grid cell.
struct ButtonCell {
    const char* name;
    const char* caption;
    std::function<void()> click;
    int row;
    int col;
};
// Creates the buttons in `parent`, puts each into its cell of `grid` and connects its click,
// for as long as `receiver` lives.
void buttons(QWidget* parent, QGridLayout* grid, QObject* receiver,
             std::initializer_list<ButtonCell> cells);

// The value of a spin edit as the request bytes see it.
int value(const QSpinBox* spin);

} // namespace form
