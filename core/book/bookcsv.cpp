#include "core/book/bookreaders.h"

#include "core/entries.h"
#include "core/text.h"

#include <csv.h>

#include <QDir>
#include <QStringDecoder>

namespace book {

namespace {
const QString kNotATable = QStringLiteral("is not a table with the columns section, keyword and meaning");
const QString kNotUtf8 = QStringLiteral("is not UTF-8 text");

qsizetype lineBreaksIn(const char *bytes, size_t size)
{
    qsizetype breaks = 0;
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == size || bytes[i + 1] != '\n')))
            ++breaks;
    return breaks;
}

// Follows libcsv's callbacks: counts lines, so that every record knows the line it starts on,
// and gathers the fields of the record under way.
class CsvReader {
public:
    Parsed parse(const QByteArray &bytes);

private:
    static void onField(void *data, size_t size, void *self)
    {
        static_cast<CsvReader *>(self)->field(static_cast<const char *>(data), size);
    }
    static void onRecord(int end, void *self) { static_cast<CsvReader *>(self)->record(end); }
    void field(const char *data, size_t size);
    void record(int end);
    void take();
    void refuse(int line, const QString &reason)
    {
        if (!m_problem)
            m_problem = Problem{line, reason};
    }

    int m_line = 1;         // the line the parser has reached
    int m_recordLine = 1;   // the line the record under way (or the next one) starts on
    bool m_afterCr = false; // the last record ended at a CR that an LF may complete
    bool m_header = true;
    std::array<int, 3> m_columns{-1, -1, -1}; // section, keyword, meaning
    std::vector<QString> m_fields;
    std::optional<Problem> m_problem;
    BookBuilder m_builder;
};

void CsvReader::field(const char *data, size_t size)
{
    if (m_fields.empty())
        m_recordLine = m_line;
    m_afterCr = false;
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(QByteArrayView(data, qsizetype(size)));
    if (decoder.hasError())
        refuse(m_line, kNotUtf8);
    m_line += int(lineBreaksIn(data, size));
    m_fields.push_back(std::move(text));
}

void CsvReader::record(int end)
{
    // With every line end reported, CR LF comes as a record and an empty one.
    const bool secondHalf = end == '\n' && m_afterCr && m_fields.empty();
    if (!m_fields.empty())
        take();
    m_fields.clear();
    if (end == '\r' || (end == '\n' && !secondHalf))
        ++m_line;
    m_recordLine = m_line;
    m_afterCr = end == '\r';
}

void CsvReader::take()
{
    if (m_problem)
        return;
    if (m_header) {
        m_header = false;
        if (m_fields.size() != 3)
            return refuse(m_recordLine, kNotATable);
        const std::array<QString, 3> names{QStringLiteral("section"), QStringLiteral("keyword"),
                                           QStringLiteral("meaning")};
        for (int i = 0; i < 3; ++i)
            for (int column = 0; column < 3; ++column)
                if (m_fields[std::size_t(i)].trimmed().compare(names[std::size_t(column)], Qt::CaseInsensitive) == 0)
                    m_columns[std::size_t(column)] = i;
        if (std::find(m_columns.begin(), m_columns.end(), -1) != m_columns.end())
            refuse(m_recordLine, kNotATable);
        return;
    }
    if (m_fields.size() != 3)
        return refuse(m_recordLine, QStringLiteral("has %1 fields instead of 3").arg(m_fields.size()));
    const QString &name = m_fields[std::size_t(m_columns[0])];
    const auto table = BookBuilder::sectionNamed(name);
    if (!table)
        return refuse(m_recordLine, QStringLiteral("names an unknown section, \u201c%1\u201d").arg(name));
    if (auto refused =
            m_builder.add(*table, {m_fields[std::size_t(m_columns[1])], m_fields[std::size_t(m_columns[2])]}))
        refuse(m_recordLine, *refused);
}

Parsed CsvReader::parse(const QByteArray &bytes)
{
    QByteArrayView input(bytes);
    if (input.startsWith("\xEF\xBB\xBF"))
        input = input.sliced(3);
    csv_parser parser;
    // Strict: a stray quote is an error, not text. Every line end reported, so that lines count.
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0)
        return {{}, Problem{1, QStringLiteral("could not be read: out of memory")}};
    // Spaces are part of a field: outer spaces of a meaning are the user's.
    csv_set_space_func(&parser, [](unsigned char) { return 0; });
    const size_t parsed = csv_parse(&parser, input.data(), size_t(input.size()), onField, onRecord, this);
    const bool complete = parsed == size_t(input.size()) && csv_fini(&parser, onField, onRecord, this) == 0;
    if (!complete && !m_problem) {
        refuse(m_recordLine,
               csv_error(&parser) == CSV_EPARSE
                   ? QStringLiteral("is not valid CSV: a quote stands alone or is never closed")
                   : QStringLiteral("could not be read: out of memory"));
    }
    csv_free(&parser);
    if (m_header && !m_problem)
        refuse(1, kNotATable);
    if (m_problem)
        return {{}, m_problem};
    return {m_builder.take(), std::nullopt};
}
} // namespace

std::optional<Table> BookBuilder::sectionNamed(const QString &name)
{
    const QString trimmed = name.trimmed();
    for (const sections::Section &section : sections::kSections)
        if (trimmed.compare(section.name, Qt::CaseInsensitive) == 0)
            return section.table;
    return sections::tableNamed(trimmed);
}

std::optional<QString> BookBuilder::refusalOf(const Entry &entry)
{
    switch (entries::check(text::trimSpaces(entry.keyword), text::trimSpaces(entry.meaning))) {
    case entries::Check::BothEmpty:
    case entries::Check::KeywordEmpty: return QStringLiteral("has an empty keyword");
    case entries::Check::MeaningEmpty: return QStringLiteral("has an empty meaning");
    case entries::Check::Passed: break;
    }
    return std::nullopt;
}

std::optional<QString> BookBuilder::add(Table table, Entry entry)
{
    if (auto refused = refusalOf(entry))
        return refused;
    m_entries[std::size_t(table)].push_back(std::move(entry));
    return std::nullopt;
}

Book BookBuilder::take()
{
    Book book;
    for (Table table : sections::kTables)
        if (!m_entries[std::size_t(table)].empty())
            book.push_back({table, std::move(m_entries[std::size_t(table)])});
    return book;
}

Parsed parseCsv(const QByteArray &bytes)
{
    CsvReader reader;
    return reader.parse(bytes);
}

QString problemMessage(const QString &path, const Problem &problem)
{
    return QStringLiteral("Nothing was imported: line %1 %2.\n%3")
        .arg(problem.line)
        .arg(problem.reason, QDir::toNativeSeparators(path));
}

} // namespace book
