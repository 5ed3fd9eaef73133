#include "core/commandline.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace commandline {

namespace {
QString sectionNames()
{
    QStringList names;
    for (const sections::Section &section : sections::kSections)
        names << section.name.toLower();
    return names.join(QLatin1Char(','));
}

[[noreturn]] void printAndEnd(const QString &text)
{
    std::fputs(qPrintable(text), stdout);
    std::fflush(stdout);
    std::exit(EXIT_SUCCESS);
}
} // namespace

void CommandLine::showHelp()
{
    printAndEnd(m_parser.helpText());
}

void CommandLine::showVersion()
{
    printAndEnd(QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
                + QLatin1Char('\n'));
}

CommandLine::CommandLine()
    : m_export(QStringLiteral("export"), QStringLiteral("Write the book to <file> without opening a window."),
               QStringLiteral("file")),
      m_format(QStringLiteral("format"),
               QStringLiteral("The file's format: pdf, html, md, txt or csv (default: from <file>'s extension)."),
               QStringLiteral("format")),
      m_sections(QStringLiteral("sections"),
                 QStringLiteral("The sections to export, separated by commas (default: %1).").arg(sectionNames()),
                 QStringLiteral("sections")),
      m_passwordStdin(QStringLiteral("password-stdin"),
                      QStringLiteral("With --export: the diary's own password is the first line of standard "
                                     "input, e.g. piped from a password manager. Anything that can read the "
                                     "pipe, or the script if it holds the password, sees it."))
{
    m_parser.setApplicationDescription(QStringLiteral("A personal book of shadows."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOptions({m_export, m_format, m_sections, m_passwordStdin});
}

Request CommandLine::parse(const QStringList &arguments)
{
    auto only = [](Action action) {
        Request request;
        request.action = action;
        return request;
    };
    auto refused = [&](const QString &why) {
        Request request = only(Action::Refused);
        request.error = why;
        return request;
    };
    if (!m_parser.parse(arguments))
        return refused(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help")))
        return only(Action::Help);
    if (m_parser.isSet(QStringLiteral("version")))
        return only(Action::Version);
    // Where the last of two would win, a script's mistake would go unseen (a PDF written into
    // "out.csv"); repeated --sections add up instead.
    for (const QCommandLineOption *once : {&m_export, &m_format})
        if (m_parser.values(*once).size() > 1)
            return refused(QStringLiteral("--%1 may be given only once.").arg(once->names().constFirst()));
    if (!m_parser.positionalArguments().isEmpty())
        return refused(QStringLiteral("Unexpected argument '%1'.").arg(m_parser.positionalArguments().constFirst()));
    if (!m_parser.isSet(m_export)) {
        if (m_parser.isSet(m_passwordStdin))
            return refused(QStringLiteral("--password-stdin goes with --export."));
        if (m_parser.isSet(m_format) || m_parser.isSet(m_sections))
            return refused(QStringLiteral("--format and --sections go with --export."));
        return {};
    }

    Request request = only(Action::Export);
    request.file = m_parser.value(m_export);
    if (request.file.isEmpty())
        return refused(QStringLiteral("--export needs a file name."));
    const auto format =
        m_parser.isSet(m_format) ? book::formatNamed(m_parser.value(m_format)) : book::formatOfFile(request.file);
    if (!format && m_parser.isSet(m_format))
        return refused(
            QStringLiteral("Unknown format '%1': use pdf, html, md, txt or csv.").arg(m_parser.value(m_format)));
    if (!format)
        return refused(QStringLiteral("The format cannot be told from '%1': add --format.").arg(request.file));
    request.format = *format;
    request.passwordPiped = m_parser.isSet(m_passwordStdin);

    const QStringList names = m_parser.isSet(m_sections)
        ? m_parser.values(m_sections).join(QLatin1Char(',')).split(QLatin1Char(','))
        : sectionNames().split(QLatin1Char(','));
    for (const QString &name : names) {
        const auto *found =
            std::find_if(sections::kSections.begin(), sections::kSections.end(), [&](const sections::Section &section) {
                return name.trimmed().compare(section.name, Qt::CaseInsensitive) == 0;
            });
        if (found == sections::kSections.end())
            return refused(QStringLiteral("Unknown section '%1': use %2.").arg(name.trimmed(), sectionNames()));
        if (std::find(request.tables.begin(), request.tables.end(), found->table) == request.tables.end())
            request.tables.push_back(found->table);
    }
    return request;
}

bool worksWithoutWindows(int argc, const char *const *argv)
{
    // Without a display, any argument is either an export or an error to report, never a window.
    if (argc > 1 && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i)
        for (const char *option : {"--", "-h", "-v", "-?"})
            if (std::strncmp(argv[i], option, std::strlen(option)) == 0 && (option[1] == '-' || argv[i][2] == '\0'))
                return true;
    return false;
}

} // namespace commandline
