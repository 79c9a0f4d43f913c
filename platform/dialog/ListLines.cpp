#include "ListLines.h"

#include <QMetaObject>
#include <QString>

void ListLines::Append(const std::string& line) {
    m_lines.push_back(line);
    if (!m_announcePosted) {
        m_announcePosted = true;
        QMetaObject::invokeMethod(this, [this] { Announce(); }, Qt::QueuedConnection);
    }
}

void ListLines::Insert(int row, const std::string& line) {
    Announce();
    beginInsertRows(QModelIndex(), row, row);
    m_lines.insert(m_lines.begin() + row, line);
    ++m_announced;
    endInsertRows();
}

void ListLines::Remove(int row) {
    Announce();
    beginRemoveRows(QModelIndex(), row, row);
    m_lines.erase(m_lines.begin() + row);
    --m_announced;
    endRemoveRows();
}

void ListLines::Clear() {
    beginResetModel();
    m_lines.clear();
    m_announced = 0;
    endResetModel();
}

void ListLines::Announce() {
    m_announcePosted = false;
    if (m_announced == Count())
        return;
    beginInsertRows(QModelIndex(), m_announced, Count() - 1);
    m_announced = Count();
    endInsertRows();
}

int ListLines::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_announced;
}

QVariant ListLines::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_announced)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return QString::fromStdString(At(index.row()));
    return {};
}
