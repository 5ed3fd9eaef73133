#include "gui/resultsmodel.h"

#include "core/secrets.h"
#include "core/sections.h"

#include <QScopedValueRollback>

#include <utility>

namespace finder {

namespace {
// More than a list shows at once: a screen of lines costs one reading of the diary.
constexpr int kLinesAtOnce = 24;
// Lines kept before they are made again as they are drawn.
constexpr std::size_t kLinesKept = 512;

const QString kBetween = QStringLiteral(" \u2014 ");

// The meaning as the result holds it, when that is all of it.
bool holdsWholeMeaning(const Hit &hit)
{
    return !hit.meaningStart.endsWith(QChar(u'\u2026'));
}
} // namespace

ResultsModel::ResultsModel(Reader reader, QObject *parent) : QAbstractListModel(parent), m_reader(std::move(reader))
{
}

ResultsModel::~ResultsModel()
{
    forgetLines();
}

void ResultsModel::set(Results results, const QString &typed)
{
    beginResetModel();
    forgetLines();
    for (std::string &word : m_words)
        secrets::wipe(word);
    m_results = std::move(results);
    m_words = m_results.size() == 0 ? std::vector<std::string>() : wordsToLookUp(typed);
    endResetModel();
}

void ResultsModel::forgetLines() const
{
    for (auto &[row, line] : m_lines)
        secrets::wipe(line.text);
    m_lines.clear();
}

Hit ResultsModel::hit(int row) const
{
    return m_results.hit(std::size_t(row));
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_results.size());
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if ((role != Qt::DisplayRole && role != MarksRole) || !index.isValid() || index.row() >= rowCount())
        return {};
    if (m_quick) {
        const Hit found = hit(index.row());
        return role == Qt::DisplayRole
            ? found.keyword + kBetween + sections::section(found.table).name + kBetween + found.meaningStart
            : QVariant();
    }
    const Marked &shown = line(index.row());
    if (role == Qt::DisplayRole)
        return shown.text;
    QList<int> marks;
    for (const auto &[from, length] : shown.marks)
        marks << from << length;
    return QVariant::fromValue(marks);
}

QModelIndexList ResultsModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                    Qt::MatchFlags flags) const
{
    const QScopedValueRollback quick(m_quick, true);
    return QAbstractListModel::match(start, role, value, hits, flags);
}

const Marked &ResultsModel::line(int row) const
{
    auto made = m_lines.find(row);
    if (made == m_lines.end()) {
        makeLines(row);
        made = m_lines.find(row);
    }
    return made->second;
}

void ResultsModel::makeLines(int from) const
{
    if (m_lines.size() > kLinesKept)
        forgetLines();
    // The rows whose entry is read, by section and "Index".
    std::array<std::vector<qint64>, store::kTables.size()> toRead;
    std::array<std::unordered_map<qint64, int>, store::kTables.size()> rowOf;
    const int to = std::min(rowCount(), from + kLinesAtOnce);
    for (int row = from; row < to; ++row) {
        if (m_lines.count(row))
            continue;
        const Hit found = hit(row);
        if (holdsWholeMeaning(found)) {
            m_lines.emplace(row, lineOf(found, found.meaningStart));
            continue;
        }
        const auto section = std::size_t(found.table);
        toRead[section].push_back(found.index);
        rowOf[section].emplace(found.index, row);
    }
    for (std::size_t section = 0; section < toRead.size(); ++section) {
        if (!toRead[section].empty() && m_reader)
            m_reader(store::kTables[section], toRead[section], [&](qint64 index, const store::Entry &entry) {
                if (const auto row = rowOf[section].find(index); row != rowOf[section].end())
                    m_lines.emplace(row->second, lineOf(hit(row->second), entry.meaning));
            });
        // An entry gone meanwhile, or not read: its line as the result holds it.
        for (const auto &[index, row] : rowOf[section])
            if (!m_lines.count(row))
                m_lines.emplace(row, lineOf(hit(row), {}));
    }
}

Marked ResultsModel::lineOf(const Hit &hit, QStringView meaning) const
{
    Marked shown = marked(hit.keyword, m_words);
    shown.text += kBetween + sections::section(hit.table).name + kBetween;
    std::optional<Marked> part = excerpt(meaning, m_words);
    if (!part)
        part = marked(hit.meaningStart, m_words);
    const int at = int(shown.text.size());
    shown.text += part->text;
    for (const auto &[from, length] : part->marks)
        shown.marks.emplace_back(at + from, length);
    secrets::wipe(part->text);
    return shown;
}

} // namespace finder
