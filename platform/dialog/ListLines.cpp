#include "ListLines.h"

#include <QMetaObject>
#include <QString>

ListLines::Line ListLines::Store(std::string_view line) {
    const Line stored{m_text.size(), line.size()};
    m_text.append(line);
    return stored;
}

void ListLines::Append(std::span<const std::string_view> lines) {
    // The lines given together are often scattered over memory (a shuffled playlist): the text
    // of those a few places ahead is asked for while this one is copied.
    constexpr std::size_t kAhead = 8;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + kAhead < lines.size()) {
            __builtin_prefetch(lines[i + kAhead].data());
        }
        m_lines.push_back(Store(lines[i]));
    }
    if (!m_announcePosted) {
        m_announcePosted = true;
        QMetaObject::invokeMethod(
            this, [this] { Announce(); }, Qt::QueuedConnection);
    }
}

void ListLines::Remove(int row) {
    Announce();
    beginRemoveRows(QModelIndex(), row, row);
    m_lines.erase(m_lines.begin() + row);
    if (m_lines.empty()) {
        m_text.clear();
    }
    --m_announced;
    endRemoveRows();
}

void ListLines::Clear() {
    beginResetModel();
    m_lines.clear();
    m_text.clear();
    m_announced = 0;
    endResetModel();
}

void ListLines::Announce() {
    m_announcePosted = false;
    if (m_announced == Count()) {
        return;
    }
    beginInsertRows(QModelIndex(), m_announced, Count() - 1);
    m_announced = Count();
    endInsertRows();
}

int ListLines::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_announced;
}

QVariant ListLines::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_announced) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        const std::string_view line = At(index.row());
        return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    }
    return {};
}
