#include "core/store/schemacheck.h"

#include "core/store/rekeying.h"
#include "core/store/store.h"

#include <QByteArrayList>

#include <algorithm>
#include <array>

namespace store {

namespace {
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// The engine takes every byte above ASCII for a letter of a name.
bool isNameByte(char c)
{
    const auto byte = uchar(c);
    return byte >= 0x80 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
        || c == '_' || c == '$';
}

// A statement as the engine reads it, word by word: spaces dropped, names unquoted, ASCII
// letters in lower case. A string literal keeps its quote, so that it never passes for a name.
// Empty for a quote that never ends.
QByteArrayList wordsOf(const QByteArray &sql)
{
    QByteArrayList words;
    for (qsizetype i = 0; i < sql.size();) {
        const char c = sql[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '"' || c == '`' || c == '[' || c == '\'') {
            const char close = c == '[' ? ']' : c;
            QByteArray word = c == '\'' ? QByteArray(1, c) : QByteArray();
            for (++i;; ++i) {
                if (i >= sql.size())
                    return {};
                if (sql[i] != close) {
                    word += sql[i];
                } else if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
                    word += sql[++i];
                } else {
                    ++i;
                    break;
                }
            }
            words << (c == '\'' ? word : word.toLower());
        } else if (isNameByte(c)) {
            const qsizetype start = i;
            while (i < sql.size() && isNameByte(sql[i]))
                ++i;
            words << sql.mid(start, i - start).toLower();
        } else {
            words << QByteArray(1, c);
            ++i;
        }
    }
    return words;
}

// An object that Brimvale makes, as the schema names it.
struct Made {
    QString type;
    QString name;
    QString table;
    QString sql; // as the engine keeps it
    QByteArrayList words;
};

const std::vector<Made> &madeByBrimvale()
{
    static const std::vector<Made> made = [] {
        QStringList statements = schemaStatements();
        // The engine makes this one for the tables' AUTOINCREMENT; a password change that is not
        // finished yet keeps the backups' keys in the other.
        statements << QStringLiteral("CREATE TABLE sqlite_sequence(name,seq)") << unfinishedChangeStatement();
        std::vector<Made> objects;
        for (const QString &statement : statements) {
            // "create table <name> (…" or "create index <name> on <table> (…"
            const QByteArrayList words = wordsOf(statement.toUtf8());
            const bool index = words.value(1) == "index";
            objects.push_back({QString::fromUtf8(words.value(1)), QString::fromUtf8(words.value(2)),
                               QString::fromUtf8(words.value(index ? 4 : 2)), statement, words});
        }
        return objects;
    }();
    return made;
}

// Names as the engine compares them, in any case.
bool sameName(const QString &name, const QString &lowerCase)
{
    return name.size() == lowerCase.size() && (name == lowerCase || name.compare(lowerCase, Qt::CaseInsensitive) == 0);
}

const Made *madeOf(const QString &sql)
{
    const std::vector<Made> &made = madeByBrimvale();
    // Every open reads the schema: the statements as the store wrote them are found at once.
    for (const Made &object : made)
        if (object.sql == sql)
            return &object;
    const QByteArrayList words = wordsOf(sql.toUtf8());
    const auto object = std::find_if(made.begin(), made.end(), [&](const Made &m) { return m.words == words; });
    return object == made.end() ? nullptr : &*object;
}
} // namespace

Schema judgeSchema(const std::vector<SchemaRow> &rows)
{
    static const auto sectionTables = [] {
        std::array<QString, kTables.size()> names;
        for (Table table : kTables)
            names[std::size_t(table)] = tableName(table);
        return names;
    }();
    const std::vector<Made> &made = madeByBrimvale();
    std::vector<bool> seen(made.size());
    std::vector<qint64> rootPages;
    std::array<bool, kTables.size()> tablesNamed{};
    bool foreign = false;
    for (const SchemaRow &row : rows) {
        for (std::size_t table = 0; table < kTables.size(); ++table)
            tablesNamed[table] = tablesNamed[table] || sameName(row.name, sectionTables[table]);
        if (foreign)
            continue;
        const Made *object = madeOf(row.sql);
        // The type column is not trusted: the engine builds each object from its statement.
        // Page 1 holds the schema itself, and two objects on one page would share their rows.
        foreign = !object || seen[std::size_t(object - made.data())] || row.type != object->type
            || !sameName(row.name, object->name) || !sameName(row.tableName, object->table) || row.rootPage < 2
            || std::find(rootPages.begin(), rootPages.end(), row.rootPage) != rootPages.end();
        if (!foreign) {
            seen[std::size_t(object - made.data())] = true;
            rootPages.push_back(row.rootPage);
        }
    }
    if (std::find(tablesNamed.begin(), tablesNamed.end(), false) != tablesNamed.end())
        return Schema::TablesMissing;
    return foreign ? Schema::Foreign : Schema::Diary;
}

} // namespace store
