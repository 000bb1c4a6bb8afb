// SPDX-License-Identifier: MIT
#include "symmetryform.h"
#include "dialogforms.h"
#include "userdialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

SymmetryForm::SymmetryForm(QWidget* parent, const SymmetryRequest& request, bool hasSelection,
                           std::function<int(const SymmetryRequest&)> count)
    : QDialog(parent), request_(request), count_(std::move(count)),
      layerOnShow_(new QRadioButton(tr("The layer on show"), this)),
      selection_(new QCheckBox(tr("Only the selection"), this)), countLabel_(new QLabel(this)) {
    setWindowTitle(symmetryedits::describe(request));
    auto* layout = new QVBoxLayout(this);
    // The operation in the body too: a title bar may cut it short or hide it.
    auto* operation = new QLabel(tr("%1, on:").arg(symmetryedits::describe(request)), this);
    operation->setObjectName(QStringLiteral("operation"));
    layout->addWidget(operation);
    auto* all = new QRadioButton(tr("All 13 layers"), this);
    all->setChecked(request.allLayers);
    layerOnShow_->setChecked(!request.allLayers);
    selection_->setChecked(request.selectionOnly && hasSelection);
    selection_->setEnabled(hasSelection);
    countLabel_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{all, layerOnShow_, selection_, countLabel_, buttons}) {
        layout->addWidget(widget);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(layerOnShow_, &QRadioButton::toggled, this, &SymmetryForm::refresh);
    connect(selection_, &QCheckBox::toggled, this, &SymmetryForm::refresh);
    refresh();
    dialogforms::keepTitleWhole(*this);
}

SymmetryRequest SymmetryForm::request() const {
    SymmetryRequest request = request_;
    request.allLayers = !layerOnShow_->isChecked();
    request.selectionOnly = selection_->isChecked();
    return request;
}

QString SymmetryForm::countText(int withoutImage) {
    if (withoutImage == 0) {
        return tr("Every hex has its image: the result is exact.");
    }
    return withoutImage == 1 ? tr("1 hex has no image and keeps its cells.")
                             : tr("%1 hexes have no image and keep their cells.").arg(withoutImage);
}

void SymmetryForm::refresh() {
    countLabel_->setText(countText(count_(request())));
}

bool QtUserDialogs::askSymmetry(QWidget* parent, SymmetryRequest& request, bool hasSelection,
                                const std::function<int(const SymmetryRequest&)>& count) {
    SymmetryForm form(parent, request, hasSelection, count);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    request = form.request();
    return true;
}
