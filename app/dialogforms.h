// SPDX-License-Identifier: MIT
// The desktop's dialogs, built apart from being shown: QtUserDialogs builds one,
// runs it and reads the answer; tests build the same forms, fill them in and read
// them without ever showing one.
#pragma once

#include "userdialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include <array>
#include <memory>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QTableWidget;
class QRadioButton;
class QSpinBox;
class ValueBox;

namespace dialogforms {

std::unique_ptr<QFileDialog> fileDialog(QWidget* parent, const FileDialogRequest& request,
                                        QFileDialog::AcceptMode mode);
std::unique_ptr<QMessageBox>
messageBox(QWidget* parent, const QString& caption, const QString& text, const QString& detail,
           QMessageBox::StandardButtons buttons = QMessageBox::Ok | QMessageBox::Cancel);
// Save (the default), Discard, Cancel.
std::unique_ptr<QMessageBox> unwrittenQuestion(QWidget* parent, const QString& caption, const QString& text);
UnwrittenChoice unwrittenChoice(QMessageBox::StandardButton pressed);
// Yes and No, No the default.
std::unique_ptr<QMessageBox> yesNoQuestion(QWidget* parent, const QString& caption, const QString& text);
// "Recover Unwritten Changes" with Recover (the default), Discard and Later.
std::unique_ptr<QMessageBox> recoveryQuestion(QWidget* parent, const QString& name, const QDateTime& time);
RecoveryChoice recoveryChoice(const QMessageBox& box);

// Columns and rows of a new map, 1 to 255 each.
class MapSizeForm : public QDialog {
public:
    // With `anchored`, it is Map > Resize: nine buttons choose the part that stays.
    MapSizeForm(QWidget* parent, int columns, int rows, bool anchored = false);
    int columns() const;
    int rows() const;
    int anchor() const;
    QSpinBox* columnsBox() const { return boxes_[0]; }
    QSpinBox* rowsBox() const { return boxes_[1]; }

private:
    QSpinBox* boxes_[2];
    QButtonGroup* anchors_ = nullptr;
};

// Map > Header Bytes: a box for each header byte other than the shape (0, 1, 3,
// 5 and 6); the columns and rows are shown, not changed.
class HeaderBytesForm : public QDialog {
public:
    static constexpr std::array<int, 5> Editable = {0, 1, 3, 5, 6};
    HeaderBytesForm(QWidget* parent, const amp::MapHeader& header);
    amp::MapHeader header() const;
    // The box of header byte `index` (one of Editable).
    QSpinBox* byteBox(int index) const;

private:
    amp::MapHeader header_;
    std::array<QSpinBox*, 5> boxes_{};
};

// A dialog as wide as its title needs, so that the title bar shows it whole.
void keepTitleWhole(QDialog& dialog);

// Help > Keyboard Shortcuts: a table of what each key does, with a search line
// that keeps the rows holding its text.
class ShortcutsForm : public QDialog {
public:
    ShortcutsForm(QWidget* parent, const QList<ShortcutRow>& rows);
    QLineEdit* searchBox() const { return search_; }
    int shownRows() const;

private:
    void filter(const QString& text);
    QLineEdit* search_;
    QTableWidget* table_;
};

// One byte value, by name where the layer's values have names (Fill Selection).
class ValueForm : public QDialog {
public:
    ValueForm(QWidget* parent, const QString& title, const QString& label, int value,
              const ValueNames& names);
    int value() const;
    ValueBox* valueBox() const { return box_; }

private:
    ValueBox* box_;
};

// A value, its replacement and where, with the number of cells that would change
// shown as the user fills it in.
class ReplaceForm : public QDialog {
public:
    ReplaceForm(QWidget* parent, const ReplaceRequest& request,
                std::function<int(const ReplaceRequest&)> count, const ValueNames& names = {});
    ReplaceRequest request() const;
    ValueBox* fromBox() const { return from_; }
    ValueBox* toBox() const { return to_; }
    QRadioButton* scopeButton(ReplaceRequest::Scope scope) const { return scopes_[static_cast<int>(scope)]; }
    QString changesText() const;

private:
    void recount();

    std::function<int(const ReplaceRequest&)> count_;
    ValueBox* from_;
    ValueBox* to_;
    QRadioButton* scopes_[3];
    QLabel* changes_;
};

} // namespace dialogforms
