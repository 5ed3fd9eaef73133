#include "platform/terminalprompt.h"

#include "core/password.h"

#include <QDir>
#include <QFile>

#include <sodium.h>

#include <cstdio>
#include <string>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
constexpr int kTries = 3;

#ifdef Q_OS_UNIX
void tell(int terminal, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (::write(terminal, bytes.constData(), std::size_t(bytes.size())) < 0)
        return;
}

// One line typed without echo; none at the end of input.
std::optional<QString> readHidden(int terminal)
{
    termios saved {};
    const bool isTerminal = ::tcgetattr(terminal, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(terminal, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c = 0;
    bool ended = true;
    while (::read(terminal, &c, 1) == 1) {
        if (c == '\n') {
            ended = false;
            break;
        }
        line.push_back(c);
    }
    if (isTerminal)
        ::tcsetattr(terminal, TCSAFLUSH, &saved);
    std::optional<QString> typed;
    if (!ended)
        typed = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    sodium_memzero(line.data(), line.size());
    return typed;
}
#endif

class TerminalPrompt final : public PasswordPrompt {
public:
    bool ask(const QString &diaryPath, const std::function<bool(const QString &)> &tryPassword) override
    {
#ifdef Q_OS_UNIX
        const int terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0) {
            std::fprintf(stderr, "brimvale: the diary %s has a password of its own, and there is no terminal to "
                                 "ask for it on.\n",
                         qUtf8Printable(QDir::toNativeSeparators(diaryPath)));
            return false;
        }
        bool opened = false;
        for (int i = 0; i < kTries && !opened; ++i) {
            tell(terminal, i == 0 ? modDB::passwordQuestion(diaryPath) + QStringLiteral(" Password: ")
                                  : QStringLiteral("The password is wrong, or the diary file is damaged. Password: "));
            const auto typed = readHidden(terminal);
            if (!typed)
                break;
            opened = !typed->isEmpty() && tryPassword(*typed);
        }
        ::close(terminal);
        return opened;
#else
        Q_UNUSED(tryPassword);
        std::fprintf(stderr, "brimvale: the diary %s has a password of its own; the command line cannot ask for it "
                             "here.\n", qUtf8Printable(QDir::toNativeSeparators(diaryPath)));
        return false;
#endif
    }
};
} // namespace

std::unique_ptr<PasswordPrompt> terminalPasswordPrompt()
{
    return std::make_unique<TerminalPrompt>();
}

} // namespace platform
