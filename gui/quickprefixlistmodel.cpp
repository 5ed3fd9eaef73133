#include "gui/quickprefixlistmodel.h"

QModelIndexList QuickPrefixListModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                            Qt::MatchFlags flags) const
{
    if (role != Qt::DisplayRole || hits != 1 || !start.isValid() || (flags & ~Qt::MatchWrap) != Qt::MatchStartsWith)
        return QStringListModel::match(start, role, value, hits, flags);
    const QStringList lines = stringList();
    const QString prefix = value.toString();
    if (prefix.isEmpty())
        return QStringListModel::match(start, role, value, hits, flags);
    // Keywords often share their first letters, rarely the last one typed: comparing that one
    // first passes over most lines at the cost of one character. A surrogate's case is its
    // pair's, so a prefix that ends in one is compared whole.
    const int last = int(prefix.size()) - 1;
    const QChar lastFolded = prefix.at(last).toCaseFolded();
    const bool quickTest = !lastFolded.isSurrogate();
    const int count = int(lines.size());
    for (int step = 0; step < count; ++step) {
        int row = start.row() + step;
        if (row >= count) {
            if (!(flags & Qt::MatchWrap))
                break;
            row -= count;
        }
        const QString &line = lines.at(row);
        if (quickTest && (line.size() <= last || line.at(last).toCaseFolded() != lastFolded))
            continue;
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return {index(row)};
    }
    return {};
}
