#pragma once

// Inside the dialog layer: the lines of a list box.

#include <QAbstractListModel>

#include <span>
#include <string>
#include <string_view>
#include <vector>

// The lines as the program gives them, side by side in one buffer, and turned into text for
// the view only for the rows it shows. Appended lines are announced to the view together when
// the window next handles its events, or before any other change: a view told of each line
// alone spends far longer on a playlist of many thousand lines than on the lines themselves.
class ListLines final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;

    int Count() const { return static_cast<int>(m_lines.size()); }
    std::string_view At(int row) const {
        const Line& line = m_lines[static_cast<std::size_t>(row)];
        return std::string_view(m_text).substr(line.offset, line.length);
    }

    void Append(std::span<const std::string_view> lines);
    void Remove(int row);
    void Clear();
    // Tells the view of the lines appended since it last heard.
    void Announce();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Line {
        std::size_t offset;
        std::size_t length;
    };
    Line Store(std::string_view line);

    // Removed lines leave their text behind until the list is emptied.
    std::string m_text;
    std::vector<Line> m_lines;
    int m_announced = 0;
    bool m_announcePosted = false;
};
