#include "userdialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
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
