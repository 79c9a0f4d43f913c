#pragma once

// Inside the dialog layer: the lines of a list box.

#include <QAbstractListModel>

#include <string>
#include <vector>

// The lines as the program gives them, turned into text for the view only for the rows it
// shows. Lines appended one by one are announced to the view together when the window next
// handles its events, or before any other change: a view told of each line alone spends far
// longer on a playlist of many thousand lines than on the lines themselves.
class ListLines final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    int Count() const { return static_cast<int>(m_lines.size()); }
    const std::string& At(int row) const { return m_lines[static_cast<std::size_t>(row)]; }

    void Append(const std::string& line);
    void Insert(int row, const std::string& line);
    void Remove(int row);
    void Clear();
    // Tells the view of the lines appended since it last heard.
    void Announce();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    std::vector<std::string> m_lines;
    int m_announced = 0;
    bool m_announcePosted = false;
};
