// SPDX-License-Identifier: MIT
// The Problems list: what map checks and scripts reported, as a table of hex,
// message and the script that found it. Each script's latest run replaces what
// that script found before, so re-running a check never piles up old problems.
#pragma once

#include "scriptrunner.h"

#include <QAbstractTableModel>

#include <vector>

class ProblemList : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { HexColumn, MessageColumn, ScriptColumn, ColumnCount };
    // The role that sorts the hex column by column, then row (a problem of the
    // whole map first), rather than as text.
    static constexpr int SortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // The problems `script` found on its latest run, in place of its earlier ones.
    void setProblems(const QString& script, const std::vector<ScriptProblem>& problems);
    void clear();
    const ScriptProblem& problem(int row) const { return problems_[static_cast<std::size_t>(row)]; }
    int count() const { return static_cast<int>(problems_.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<ScriptProblem> problems_;
};
