#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QQmlEngine>
#include <QStringList>

#include "portal/courtcase.h"

class ScraperViewModel;

/**
 * The rows of the results table: the first 100 cases, each as its nine texts.
 * The remaining cases are only counted for the line under the table.
 */
class CaseTableModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT

    /** The controller whose cases are shown; followed whenever its case list changes. */
    Q_PROPERTY(QObject *viewModel READ viewModel WRITE setViewModel NOTIFY viewModelChanged)
    /** All cases given, shown or not. */
    Q_PROPERTY(qint64 totalCount READ totalCount NOTIFY casesChanged)
    /** Cases beyond the shown rows; 0 when all are shown. */
    Q_PROPERTY(qint64 overflowCount READ overflowCount NOTIFY casesChanged)

public:
    enum Role {
        CellsRole = Qt::UserRole + 1,
        PositionRole,
    };
    Q_ENUM(Role)

    static constexpr int maxRows = 100;

    explicit CaseTableModel(QObject *parent = nullptr);

    [[nodiscard]] QObject *viewModel() const;
    void setViewModel(QObject *viewModel);
    /** Shows @p cases directly (no controller). */
    void setCaseList(const QList<CourtCase> &cases);

    [[nodiscard]] qint64 totalCount() const { return m_totalCount; }
    [[nodiscard]] qint64 overflowCount() const { return std::max<qint64>(m_totalCount - maxRows, 0); }

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    /** The rows were replaced. */
    void casesChanged();
    void viewModelChanged();

private:
    void reloadFromViewModel();

    QPointer<ScraperViewModel> m_viewModel;
    QMetaObject::Connection m_casesConnection;
    QList<QStringList> m_rows;
    qint64 m_totalCount = 0;
};
