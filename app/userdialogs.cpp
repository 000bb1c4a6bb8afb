// SPDX-License-Identifier: MIT
#include "userdialogs.h"
#include "dialogforms.h"
#include "valuebox.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

QString withDefaultSuffix(const QString& fileName, const QString& suffix) {
    if (fileName.isEmpty() || suffix.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) {
        return fileName;
    }
    return fileName + '.' + suffix;
}

namespace dialogforms {

namespace {

QDialogButtonBox* okAndCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QSpinBox* byteBox(QWidget* parent, int minimum, int value) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, 255);
    box->setValue(value);
    return box;
}

} // namespace

std::unique_ptr<QFileDialog> fileDialog(QWidget* parent, const FileDialogRequest& request,
                                        QFileDialog::AcceptMode mode) {
    auto dialog = std::make_unique<QFileDialog>(parent, request.title, request.directory, request.filter);
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(request.defaultSuffix);
    if (mode == QFileDialog::AcceptOpen) {
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
    }
    return dialog;
}

std::unique_ptr<QMessageBox> messageBox(QWidget* parent, const QString& caption, const QString& text,
                                        const QString& detail, QMessageBox::StandardButtons buttons) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, caption, text, buttons, parent);
    box->setInformativeText(detail);
    return box;
}

std::unique_ptr<QMessageBox> unwrittenQuestion(QWidget* parent, const QString& caption, const QString& text) {
    auto box =
        std::make_unique<QMessageBox>(QMessageBox::Question, caption, text,
                                      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box->setDefaultButton(QMessageBox::Save);
    return box;
}

UnwrittenChoice unwrittenChoice(QMessageBox::StandardButton pressed) {
    switch (pressed) {
    case QMessageBox::Save:
        return UnwrittenChoice::Save;
    case QMessageBox::Discard:
        return UnwrittenChoice::Discard;
    default:
        return UnwrittenChoice::Cancel;
    }
}

std::unique_ptr<QMessageBox> yesNoQuestion(QWidget* parent, const QString& caption, const QString& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, caption, text,
                                             QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

std::unique_ptr<QMessageBox> recoveryQuestion(QWidget* parent, const QString& name, const QDateTime& time) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Question, QObject::tr("Recover Unwritten Changes"),
        QObject::tr("Recover the unwritten changes to %1 from %2?")
            .arg(name, QLocale().toString(time.toLocalTime(), QLocale::ShortFormat)),
        QMessageBox::NoButton, parent);
    QPushButton* recover = box->addButton(QObject::tr("Recover"), QMessageBox::AcceptRole);
    box->addButton(QObject::tr("Discard"), QMessageBox::DestructiveRole);
    box->addButton(QObject::tr("Later"), QMessageBox::RejectRole);
    box->setDefaultButton(recover);
    return box;
}

RecoveryChoice recoveryChoice(const QMessageBox& box) {
    const QAbstractButton* pressed = box.clickedButton();
    switch (pressed ? box.buttonRole(const_cast<QAbstractButton*>(pressed)) : QMessageBox::RejectRole) {
    case QMessageBox::AcceptRole:
        return RecoveryChoice::Recover;
    case QMessageBox::DestructiveRole:
        return RecoveryChoice::Discard;
    default:
        return RecoveryChoice::Later;
    }
}

MapSizeForm::MapSizeForm(QWidget* parent, int columns, int rows, bool anchored)
    : QDialog(parent), boxes_{byteBox(this, 0, columns), byteBox(this, 0, rows)} {
    // A map of no hexes is a map: 0 is taken as typed, never put back to the old size.
    setWindowTitle(anchored ? tr("Resize Map") : tr("New Map"));
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Columns (X Size):"), boxes_[0]);
    layout->addRow(tr("Rows (Y Size):"), boxes_[1]);
    if (anchored) {
        static const char* const names[] = {"Top left", "Top",         "Top right", "Left",        "Centre",
                                            "Right",    "Bottom left", "Bottom",    "Bottom right"};
        anchors_ = new QButtonGroup(this);
        auto* grid = new QGridLayout;
        for (int i = 0; i < 9; ++i) {
            auto* button = new QRadioButton(tr(names[i]), this);
            anchors_->addButton(button, i);
            grid->addWidget(button, i / 3, i % 3);
        }
        anchors_->button(0)->setChecked(true);
        layout->addRow(tr("Keep in place:"), grid);
    }
    layout->addRow(okAndCancel(this));
    keepTitleWhole(*this);
}

int MapSizeForm::anchor() const {
    return anchors_ ? anchors_->checkedId() : 0;
}

int MapSizeForm::columns() const {
    return boxes_[0]->value();
}
int MapSizeForm::rows() const {
    return boxes_[1]->value();
}

ShortcutsForm::ShortcutsForm(QWidget* parent, const QList<ShortcutRow>& rows)
    : QDialog(parent), search_(new QLineEdit(this)),
      table_(new QTableWidget(static_cast<int>(rows.size()), 3, this)) {
    setWindowTitle(tr("Keyboard Shortcuts"));
    search_->setPlaceholderText(tr("Search"));
    search_->setClearButtonEnabled(true);
    table_->setHorizontalHeaderLabels({tr("Action"), tr("Keys"), tr("Menu")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int i = 0; i < rows.size(); ++i) {
        table_->setItem(i, 0, new QTableWidgetItem(rows[i].action));
        table_->setItem(i, 1, new QTableWidgetItem(rows[i].keys));
        table_->setItem(i, 2, new QTableWidgetItem(rows[i].menu));
    }
    // The keys whole; the actions take the rest of the width.
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    table_->setWordWrap(true);
    table_->resizeRowsToContents();
    connect(search_, &QLineEdit::textChanged, this, &ShortcutsForm::filter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    resize(720, 520);
}

// A row stays when each word of the search, in any case, is part of its
// action, its keys or its menu ("eye" finds the eyedropper, "ctrl+s" Write,
// "shape line" Paint Shape: Line).
void ShortcutsForm::filter(const QString& text) {
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < table_->rowCount(); ++i) {
        QString row;
        for (int column = 0; column < table_->columnCount(); ++column) {
            row += table_->item(i, column)->text() + QLatin1Char('\n');
        }
        const bool shown = std::all_of(words.begin(), words.end(), [&row](const QString& word) {
            return row.contains(word, Qt::CaseInsensitive);
        });
        table_->setRowHidden(i, !shown);
    }
}

HeaderBytesForm::HeaderBytesForm(QWidget* parent, const amp::MapHeader& header)
    : QDialog(parent), header_(header) {
    setWindowTitle(tr("Header Bytes"));
    auto* layout = new QFormLayout(this);
    layout->addRow(
        new QLabel(tr("The map's %1 columns and %2 rows (bytes 2 and 4) stay; Map > Resize changes them.")
                       .arg(header.columns())
                       .arg(header.rows()),
                   this));
    for (std::size_t i = 0; i < Editable.size(); ++i) {
        boxes_[i] = dialogforms::byteBox(this, 0, header.bytes[static_cast<std::size_t>(Editable[i])]);
        boxes_[i]->setObjectName(QStringLiteral("byte%1").arg(Editable[i]));
        layout->addRow(tr("Byte %1").arg(Editable[i]), boxes_[i]);
    }
    layout->addRow(okAndCancel(this));
    keepTitleWhole(*this);
}

amp::MapHeader HeaderBytesForm::header() const {
    amp::MapHeader header = header_;
    for (std::size_t i = 0; i < Editable.size(); ++i) {
        header.bytes[static_cast<std::size_t>(Editable[i])] = static_cast<std::uint8_t>(boxes_[i]->value());
    }
    return header;
}

QSpinBox* HeaderBytesForm::byteBox(int index) const {
    for (std::size_t i = 0; i < Editable.size(); ++i) {
        if (Editable[i] == index) {
            return boxes_[i];
        }
    }
    return nullptr;
}

// The title bar takes the title in the window's font, besides its icon and
// buttons, for which this much room is kept.
void keepTitleWhole(QDialog& dialog) {
    constexpr int TitleBarButtons = 160;
    QFont title = dialog.font();
    title.setBold(true); // title bars often set it bold
    const int wanted = QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) + TitleBarButtons;
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), wanted));
}

int ShortcutsForm::shownRows() const {
    int shown = 0;
    for (int i = 0; i < table_->rowCount(); ++i) {
        shown += table_->isRowHidden(i) ? 0 : 1;
    }
    return shown;
}

ValueForm::ValueForm(QWidget* parent, const QString& title, const QString& label, int value,
                     const ValueNames& names)
    : QDialog(parent), box_(new ValueBox(this, value)) {
    setWindowTitle(title);
    box_->setNames(names);
    auto* layout = new QFormLayout(this);
    layout->addRow(label, box_);
    layout->addRow(okAndCancel(this));
    keepTitleWhole(*this);
}

int ValueForm::value() const {
    return box_->value();
}

ReplaceForm::ReplaceForm(QWidget* parent, const ReplaceRequest& request,
                         std::function<int(const ReplaceRequest&)> count, const ValueNames& names)
    : QDialog(parent), count_(std::move(count)), from_(new ValueBox(this, request.from)),
      to_(new ValueBox(this, request.to)), scopes_{new QRadioButton(tr("In the selection"), this),
                                                   new QRadioButton(tr("In the layer on show"), this),
                                                   new QRadioButton(tr("In all 13 layers"), this)},
      changes_(new QLabel(this)) {
    setWindowTitle(tr("Replace"));
    from_->setNames(names);
    to_->setNames(names);
    scopes_[static_cast<int>(request.scope)]->setChecked(true);
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Replace:"), from_);
    layout->addRow(tr("With:"), to_);
    for (QRadioButton* scope : scopes_) {
        layout->addRow(scope);
        connect(scope, &QRadioButton::toggled, this, &ReplaceForm::recount);
    }
    layout->addRow(changes_);
    layout->addRow(okAndCancel(this));
    connect(from_, &ValueBox::valueChanged, this, &ReplaceForm::recount);
    connect(to_, &ValueBox::valueChanged, this, &ReplaceForm::recount);
    recount();
    keepTitleWhole(*this);
}

ReplaceRequest ReplaceForm::request() const {
    ReplaceRequest now{from_->value(), to_->value(), ReplaceRequest::Scope::Layer};
    for (int i = 0; i < 3; ++i) {
        if (scopes_[i]->isChecked()) {
            now.scope = static_cast<ReplaceRequest::Scope>(i);
        }
    }
    return now;
}

QString ReplaceForm::changesText() const {
    return changes_->text();
}

// How many cells will change, before the user agrees.
void ReplaceForm::recount() {
    changes_->setText(tr("%n cells will change", nullptr, count_(request())));
}

} // namespace dialogforms

QString QtUserDialogs::openFileName(QWidget* parent, const FileDialogRequest& request) {
    const auto dialog = dialogforms::fileDialog(parent, request, QFileDialog::AcceptOpen);
    return dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()
               ? withDefaultSuffix(dialog->selectedFiles().constFirst(), request.defaultSuffix)
               : QString();
}

QString QtUserDialogs::saveFileName(QWidget* parent, const FileDialogRequest& request) {
    const auto dialog = dialogforms::fileDialog(parent, request, QFileDialog::AcceptSave);
    return dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()
               ? withDefaultSuffix(dialog->selectedFiles().constFirst(), request.defaultSuffix)
               : QString();
}

void QtUserDialogs::messageBox(QWidget* parent, const QString& caption, const QString& text,
                               const QString& detail) {
    dialogforms::messageBox(parent, caption, text, detail)->exec();
}

void QtUserDialogs::inform(QWidget* parent, const QString& caption, const QString& text,
                           const QString& detail) {
    dialogforms::messageBox(parent, caption, text, detail, QMessageBox::Ok)->exec();
}

void QtUserDialogs::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

bool QtUserDialogs::askNumber(QWidget* parent, const QString& title, const QString& label, int& value,
                              int minimum, int maximum) {
    bool accepted = false;
    const int chosen = QInputDialog::getInt(parent, title, label, value, minimum, maximum, 1, &accepted);
    if (accepted) {
        value = chosen;
    }
    return accepted;
}

void QtUserDialogs::showShortcuts(QWidget* parent, const QList<ShortcutRow>& rows) {
    dialogforms::ShortcutsForm form(parent, rows);
    form.exec();
}

bool QtUserDialogs::askText(QWidget* parent, const QString& title, const QString& label, QString& text) {
    bool accepted = false;
    const QString chosen = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &accepted);
    if (accepted) {
        text = chosen;
    }
    return accepted;
}

bool QtUserDialogs::askValue(QWidget* parent, const QString& title, const QString& label, int& value,
                             const ValueNames& names) {
    dialogforms::ValueForm form(parent, title, label, value, names);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    value = form.value();
    return true;
}

bool QtUserDialogs::askReplace(QWidget* parent, ReplaceRequest& request,
                               const std::function<int(const ReplaceRequest&)>& count) {
    return askReplaceValues(parent, request, count, {});
}

bool QtUserDialogs::askReplaceValues(QWidget* parent, ReplaceRequest& request,
                                     const std::function<int(const ReplaceRequest&)>& count,
                                     const ValueNames& names) {
    dialogforms::ReplaceForm form(parent, request, count, names);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    request = form.request();
    return true;
}

RecoveryChoice QtUserDialogs::askRecover(QWidget* parent, const QString& name, const QDateTime& time) {
    const auto box = dialogforms::recoveryQuestion(parent, name, time);
    box->exec();
    return dialogforms::recoveryChoice(*box);
}

bool QtUserDialogs::askMapSize(QWidget* parent, int& columns, int& rows) {
    dialogforms::MapSizeForm form(parent, columns, rows);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    columns = form.columns();
    rows = form.rows();
    return true;
}

bool QtUserDialogs::askResize(QWidget* parent, int& columns, int& rows, int& anchor) {
    dialogforms::MapSizeForm form(parent, columns, rows, true);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    columns = form.columns();
    rows = form.rows();
    anchor = form.anchor();
    return true;
}

UnwrittenChoice QtUserDialogs::askUnwritten(QWidget* parent, const QString& caption, const QString& text) {
    const auto box = dialogforms::unwrittenQuestion(parent, caption, text);
    return dialogforms::unwrittenChoice(static_cast<QMessageBox::StandardButton>(box->exec()));
}

UnwrittenMapsChoice QtUserDialogs::askUnwrittenMaps(QWidget* parent, const QStringList& names,
                                                    QList<bool>& chosen) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QObject::tr("Unwritten Maps"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QObject::tr("These maps have changes that were not written:")));
    QList<QCheckBox*> boxes;
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* box = new QCheckBox(names[i]);
        box->setChecked(chosen.value(i, true));
        layout->addWidget(box);
        boxes.append(box);
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* write = buttons->addButton(QObject::tr("&Write Selected"), QDialogButtonBox::AcceptRole);
    QPushButton* discard = buttons->addButton(QObject::tr("&Discard All"), QDialogButtonBox::DestructiveRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    UnwrittenMapsChoice choice = UnwrittenMapsChoice::Cancel;
    QObject::connect(buttons, &QDialogButtonBox::clicked, &dialog, [&](QAbstractButton* button) {
        choice = button == write     ? UnwrittenMapsChoice::WriteSelected
                 : button == discard ? UnwrittenMapsChoice::DiscardAll
                                     : UnwrittenMapsChoice::Cancel;
        dialog.done(0);
    });
    write->setDefault(true);
    dialog.exec();
    chosen.clear();
    for (const QCheckBox* box : boxes) {
        chosen.append(box->isChecked());
    }
    return choice;
}

bool QtUserDialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    return dialogforms::yesNoQuestion(parent, caption, text)->exec() == QMessageBox::Yes;
}

bool QtUserDialogs::askHeaderBytes(QWidget* parent, amp::MapHeader& header) {
    dialogforms::HeaderBytesForm form(parent, header);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    header = form.header();
    return true;
}
