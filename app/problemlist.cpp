// SPDX-License-Identifier: MIT
#include "problemlist.h"

#include <algorithm>

void ProblemList::setProblems(const QString& script, const std::vector<ScriptProblem>& problems) {
    beginResetModel();
    std::erase_if(problems_, [&script](const ScriptProblem& problem) { return problem.script == script; });
    for (ScriptProblem problem : problems) {
        problem.script = script;
        problems_.push_back(std::move(problem));
    }
    endResetModel();
}

void ProblemList::clear() {
    beginResetModel();
    problems_.clear();
    endResetModel();
}

int ProblemList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int ProblemList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProblemList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) {
        return {};
    }
    const ScriptProblem& found = problem(index.row());
    if (role == SortRole && index.column() == HexColumn) {
        // Whole-map problems (-1) first, then by column and row.
        return found.hex ? qlonglong(found.hex->column) * 65536 + found.hex->row : qlonglong(-1);
    }
    if (role != Qt::DisplayRole && role != SortRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case HexColumn:
        return found.hex ? QStringLiteral("%1,%2").arg(found.hex->column).arg(found.hex->row) : tr("map");
    case MessageColumn:
        return found.message;
    case ScriptColumn:
        return found.script;
    default:
        return {};
    }
}

QVariant ProblemList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case HexColumn:
        return tr("Hex");
    case MessageColumn:
        return tr("Problem");
    case ScriptColumn:
        return tr("Found by");
    default:
        return {};
    }
}
