#pragma once

// The find window's results as a list: one line for each entry found, "keyword — section —
// excerpt", the excerpt being the part of the meaning where the words typed were found, or its
// start when they were found in the keyword alone. A line is made only as the view draws it, with
// the entry read for it when the result holds too little of the meaning. The text stays plain, for
// a screen reader too: the parts that matched are given beside it (MarksRole).

#include "core/find/excerpt.h"
#include "core/find/liveindex.h"

#include <QAbstractListModel>

#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace finder {

class ResultsModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The start and the length of each part of a line that a word matched, one after another, as
    // a QList<int>.
    static constexpr int MarksRole = Qt::UserRole;
    // Reads the entries of a section that have these "Index" values; one that is gone is left out.
    using Reader =
        std::function<void(store::Table table, const std::vector<qint64> &indexes, const store::EntryVisitor &visit)>;

    explicit ResultsModel(Reader reader, QObject *parent = nullptr);
    ~ResultsModel() override;

    // The results of a search for what was typed.
    void set(Results results, const QString &typed = {});
    Hit hit(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Type-ahead in the list looks at every line: it goes by what the results hold, and reads nothing.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

private:
    const Marked &line(int row) const;
    // Makes the lines not yet made from this row on, as many as a list shows at once and more, in
    // one reading.
    void makeLines(int from) const;
    Marked lineOf(const Hit &hit, QStringView meaning) const;
    void forgetLines() const;

    Reader m_reader;
    Results m_results;
    std::vector<std::string> m_words;
    // Lines made, by row: a few screens of them.
    mutable std::unordered_map<int, Marked> m_lines;
    mutable bool m_quick = false;
};

} // namespace finder
