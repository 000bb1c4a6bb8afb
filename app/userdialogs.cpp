#include "userdialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

QString withDefaultSuffix(const QString& fileName, const QString& suffix) {
    if (fileName.isEmpty() || suffix.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) {
        return fileName;
    }
    return fileName + '.' + suffix;
}

namespace {

QString runFileDialog(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.title, request.directory, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return withDefaultSuffix(dialog.selectedFiles().constFirst(), request.defaultSuffix);
}

} // namespace

QString QtUserDialogs::openFileName(QWidget* parent, const FileDialogRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString QtUserDialogs::saveFileName(QWidget* parent, const FileDialogRequest& request) {
    return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

void QtUserDialogs::messageBox(QWidget* parent, const QString& caption, const QString& text,
                               const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setInformativeText(detail);
    box.exec();
}

void QtUserDialogs::showMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

bool QtUserDialogs::askNumber(QWidget* parent, const QString& title, const QString& label, int& value, int minimum,
                              int maximum) {
    bool accepted = false;
    const int chosen = QInputDialog::getInt(parent, title, label, value, minimum, maximum, 1, &accepted);
    if (accepted) {
        value = chosen;
    }
    return accepted;
}

bool QtUserDialogs::askReplace(QWidget* parent, ReplaceRequest& request,
                               const std::function<int(const ReplaceRequest&)>& count) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QObject::tr("Replace"));
    auto* layout = new QFormLayout(&dialog);
    auto* from = new QSpinBox(&dialog);
    auto* to = new QSpinBox(&dialog);
    from->setRange(0, 255);
    to->setRange(0, 255);
    from->setValue(request.from);
    to->setValue(request.to);
    QRadioButton* scopes[3] = {new QRadioButton(QObject::tr("In the selection"), &dialog),
                               new QRadioButton(QObject::tr("In the layer on show"), &dialog),
                               new QRadioButton(QObject::tr("In all 13 layers"), &dialog)};
    scopes[static_cast<int>(request.scope)]->setChecked(true);
    auto* changes = new QLabel(&dialog);
    layout->addRow(QObject::tr("Replace:"), from);
    layout->addRow(QObject::tr("With:"), to);
    for (QRadioButton* scope : scopes) {
        layout->addRow(scope);
    }
    layout->addRow(changes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    const auto current = [&] {
        ReplaceRequest now{from->value(), to->value(), ReplaceRequest::Scope::Layer};
        for (int i = 0; i < 3; ++i) {
            if (scopes[i]->isChecked()) {
                now.scope = static_cast<ReplaceRequest::Scope>(i);
            }
        }
        return now;
    };
    // How many cells will change, before the user agrees.
    const auto recount = [&] { changes->setText(QObject::tr("%Ln cells will change", nullptr, count(current()))); };
    QObject::connect(from, &QSpinBox::valueChanged, &dialog, recount);
    QObject::connect(to, &QSpinBox::valueChanged, &dialog, recount);
    for (QRadioButton* scope : scopes) {
        QObject::connect(scope, &QRadioButton::toggled, &dialog, recount);
    }
    recount();
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    request = current();
    return true;
}

RecoveryChoice QtUserDialogs::askRecover(QWidget* parent, const QString& name, const QDateTime& time) {
    QMessageBox box(QMessageBox::Question, QObject::tr("Recover Unwritten Changes"),
                    QObject::tr("Recover the unwritten changes to %1 from %2?")
                        .arg(name, QLocale().toString(time.toLocalTime(), QLocale::ShortFormat)),
                    QMessageBox::NoButton, parent);
    QPushButton* recover = box.addButton(QObject::tr("Recover"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QObject::tr("Discard"), QMessageBox::DestructiveRole);
    box.addButton(QObject::tr("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.exec();
    if (box.clickedButton() == recover) {
        return RecoveryChoice::Recover;
    }
    return box.clickedButton() == discard ? RecoveryChoice::Discard : RecoveryChoice::Later;
}

bool QtUserDialogs::askMapSize(QWidget* parent, int& columns, int& rows) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QObject::tr("New Map"));
    auto* layout = new QFormLayout(&dialog);
    QSpinBox* boxes[2] = {new QSpinBox(&dialog), new QSpinBox(&dialog)};
    for (QSpinBox* box : boxes) {
        box->setRange(1, 255);
    }
    boxes[0]->setValue(columns);
    boxes[1]->setValue(rows);
    layout->addRow(QObject::tr("Columns (X Size):"), boxes[0]);
    layout->addRow(QObject::tr("Rows (Y Size):"), boxes[1]);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    columns = boxes[0]->value();
    rows = boxes[1]->value();
    return true;
}

UnwrittenChoice QtUserDialogs::askUnwritten(QWidget* parent, const QString& caption, const QString& text) {
    switch (QMessageBox::question(parent, caption, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
    case QMessageBox::Save:
        return UnwrittenChoice::Save;
    case QMessageBox::Discard:
        return UnwrittenChoice::Discard;
    default:
        return UnwrittenChoice::Cancel;
    }
}
