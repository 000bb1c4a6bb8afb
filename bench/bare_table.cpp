// SPDX-License-Identifier: MIT
// The floor of a start-up that shows numbers: a bare Qt program with one QTableView
// of 255 x 255 numbers in a 904 x 397 window, quitting after its first paint. It
// pays for fonts and text layout as any program that shows numbers does.
#include "firstpaint.h"

#include <QAbstractTableModel>
#include <QTableView>

namespace {

class Numbers : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& = {}) const override { return 255; }
    int columnCount(const QModelIndex& = {}) const override { return 255; }
    QVariant data(const QModelIndex& index, int role) const override {
        return role == Qt::DisplayRole ? QVariant(QString::number((index.row() * 31 + index.column()) % 256))
                                       : QVariant();
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuitAfterFirstPaint quit;
    Numbers numbers;
    QTableView view;
    view.setModel(&numbers);
    view.resize(904, 397);
    view.show();
    return QApplication::exec();
}
