#include "casetablemodel.h"

#include "controller/scraperviewmodel.h"

CaseTableModel::CaseTableModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

QObject *CaseTableModel::viewModel() const { return m_viewModel.data(); }

void CaseTableModel::setViewModel(QObject *viewModel)
{
    auto *controller = qobject_cast<ScraperViewModel *>(viewModel);
    if (controller == m_viewModel)
        return;
    disconnect(m_casesConnection);
    m_viewModel = controller;
    if (controller)
        m_casesConnection = connect(
            controller, &ScraperViewModel::casesChanged, this, &CaseTableModel::reloadFromViewModel);
    Q_EMIT viewModelChanged();
    reloadFromViewModel();
}

void CaseTableModel::reloadFromViewModel()
{
    setCaseList(m_viewModel ? m_viewModel->cases() : QList<CourtCase>());
}

void CaseTableModel::setCaseList(const QList<CourtCase> &cases)
{
    const qsizetype shown = std::min<qsizetype>(cases.size(), maxRows);
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(shown);
    for (qsizetype i = 0; i < shown; ++i)
        m_rows.append(cases.at(i).columnValues());
    m_totalCount = cases.size();
    endResetModel();
    Q_EMIT casesChanged();
}

int CaseTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CaseTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case CellsRole:
        return m_rows.at(index.row());
    case PositionRole:
        return index.row();
    default:
        return {};
    }
}

QHash<int, QByteArray> CaseTableModel::roleNames() const
{
    return { { CellsRole, "cells" }, { PositionRole, "position" } };
}
