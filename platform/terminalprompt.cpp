#include "platform/terminalprompt.h"

#include "core/secrets.h"
#include "core/store/password.h"

#include <QDir>
#include <QFile>

#include <sodium.h>

#include <cstdio>
#include <string>

#ifdef Q_OS_UNIX
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
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

// While the prompt waits the terminal echoes nothing. A signal that ends or stops the program
// then must give the terminal its settings back first, or the user's shell is left without echo;
// a program continued later hides what is typed again. The handlers touch only these.
constexpr std::array kHandledSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};
std::atomic<bool> g_hiding{false};
int g_terminal = -1;
termios g_saved{};
termios g_quiet{};
std::array<struct sigaction, kHandledSignals.size()> g_previous{};
std::array<bool, kHandledSignals.size()> g_replaced{};

void install(int signal, void (*handler)(int), struct sigaction *previous)
{
    struct sigaction action { };
    action.sa_handler = handler;
    // A continued program goes on reading where it was.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int each : kHandledSignals)
        sigaddset(&action.sa_mask, each);
    ::sigaction(signal, &action, previous);
}

extern "C" void showTerminalAgain(int signal)
{
    const int error = errno;
    if (signal != SIGCONT) {
        ::tcsetattr(g_terminal, TCSANOW, &g_saved);
        // The signal's own action, as if there were no handler: it ends the program once this
        // returns, or stops it right away.
        install(signal, SIG_DFL, nullptr);
        ::raise(signal);
        if (signal == SIGTSTP) {
            sigset_t stop;
            sigemptyset(&stop);
            sigaddset(&stop, SIGTSTP);
            ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
            if (g_hiding)
                install(SIGTSTP, showTerminalAgain, nullptr);
        }
    }
    if (signal == SIGCONT || signal == SIGTSTP) {
        if (g_hiding)
            ::tcsetattr(g_terminal, TCSANOW, &g_quiet);
    }
    errno = error;
}

// Echo off for its lifetime, on every way out. A signal the program ignores or handles itself is
// left to it.
class HiddenInput {
public:
    explicit HiddenInput(int terminal)
    {
        m_isTerminal = ::tcgetattr(terminal, &g_saved) == 0;
        if (!m_isTerminal)
            return;
        g_terminal = terminal;
        g_quiet = g_saved;
        g_quiet.c_lflag &= ~tcflag_t(ECHO);
        g_quiet.c_lflag |= ECHONL;
        for (std::size_t i = 0; i < kHandledSignals.size(); ++i) {
            struct sigaction current { };
            ::sigaction(kHandledSignals[i], nullptr, &current);
            g_replaced[i] = current.sa_handler == SIG_DFL && !(current.sa_flags & SA_SIGINFO);
            if (g_replaced[i])
                install(kHandledSignals[i], showTerminalAgain, &g_previous[i]);
        }
        g_hiding = true;
        ::tcsetattr(terminal, TCSAFLUSH, &g_quiet);
    }
    ~HiddenInput()
    {
        if (!m_isTerminal)
            return;
        g_hiding = false;
        ::tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
        for (std::size_t i = 0; i < kHandledSignals.size(); ++i)
            if (g_replaced[i])
                ::sigaction(kHandledSignals[i], &g_previous[i], nullptr);
    }
    HiddenInput(const HiddenInput &) = delete;
    HiddenInput &operator=(const HiddenInput &) = delete;

private:
    bool m_isTerminal = false;
};

// Asks, then reads one line typed without echo; none at the end of input. Echo goes off before
// the question shows, so that a password typed at once never shows.
std::optional<QString> readHidden(int terminal, const QString &question)
{
    std::string line;
    // Room enough that a password is never copied as the line grows.
    line.reserve(4096);
    char c = 0;
    bool ended = true;
    {
        const HiddenInput hidden(terminal);
        tell(terminal, question);
        while (::read(terminal, &c, 1) == 1) {
            if (c == '\n') {
                ended = false;
                break;
            }
            line.push_back(c);
        }
    }
    std::optional<QString> typed;
    if (!ended)
        typed = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    sodium_memzero(line.data(), line.size());
    return typed;
}
#elif defined(Q_OS_WIN)
// The console keeps its mode after the program: Ctrl+C or closing the window while the prompt
// waits must give the echo back first. The handler touches only these.
HANDLE g_input = INVALID_HANDLE_VALUE;
DWORD g_savedMode = 0;

BOOL WINAPI showConsoleAgain(DWORD)
{
    ::SetConsoleMode(g_input, g_savedMode);
    // The default handler goes on and ends the program.
    return FALSE;
}

void tell(HANDLE console, const QString &text)
{
    const std::wstring wide = text.toStdWString();
    DWORD written = 0;
    ::WriteConsoleW(console, wide.data(), DWORD(wide.size()), &written, nullptr);
}

// Asks, then reads one line typed without echo, as UTF-16 so that any character of the password
// arrives; none at the end of input (Ctrl+Z). Echo goes off before the question shows.
std::optional<QString> readHidden(HANDLE input, HANDLE output, const QString &question)
{
    if (!::GetConsoleMode(input, &g_savedMode))
        return std::nullopt;
    g_input = input;
    ::SetConsoleCtrlHandler(showConsoleAgain, TRUE);
    ::SetConsoleMode(input, (g_savedMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    tell(output, question);
    std::wstring line;
    bool ended = true;
    wchar_t c = 0;
    for (DWORD read = 0; ::ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1;) {
        if (c == L'\r')
            continue;
        if (c == L'\n') {
            ended = false;
            break;
        }
        // Ctrl+Z at the start of a line is the console's end of input.
        if (c == 0x1a && line.empty())
            break;
        line.push_back(c);
    }
    ::SetConsoleMode(input, g_savedMode);
    ::SetConsoleCtrlHandler(showConsoleAgain, FALSE);
    tell(output, QStringLiteral("\r\n"));
    std::optional<QString> typed;
    if (!ended)
        typed = QString::fromWCharArray(line.data(), qsizetype(line.size()));
    sodium_memzero(line.data(), line.size() * sizeof(wchar_t));
    return typed;
}
#endif

// Up to kTries questions, until a password opens the diary or the input ends.
[[maybe_unused]] bool askTimes(const QString &diaryPath, const std::function<bool(const QString &)> &tryPassword,
                               const std::function<std::optional<QString>(const QString &)> &ask)
{
    for (int i = 0; i < kTries; ++i) {
        auto typed = ask(i == 0 ? store::passwordQuestion(diaryPath) + QStringLiteral(" Password: ")
                                : QStringLiteral("The password is wrong, or the diary file is damaged. Password: "));
        if (!typed)
            return false;
        const bool opened = !typed->isEmpty() && tryPassword(*typed);
        secrets::wipe(*typed);
        if (opened)
            return true;
    }
    return false;
}

// Says why nobody can be asked, and gives the answer of a prompt that was given up.
bool nowhereToAsk(const QString &diaryPath, const char *place)
{
    std::fprintf(stderr,
                 "brimvale: the diary %s has a password of its own, and there is no %s to ask for it on; "
                 "a script can pipe it in with --password-stdin.\n",
                 qUtf8Printable(QDir::toNativeSeparators(diaryPath)), place);
    return false;
}

class TerminalPrompt final : public PasswordPrompt {
public:
    bool ask(const QString &diaryPath, const std::function<bool(const QString &)> &tryPassword) override
    {
#ifdef Q_OS_UNIX
        const int terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0)
            return nowhereToAsk(diaryPath, "terminal");
        const bool opened =
            askTimes(diaryPath, tryPassword, [&](const QString &question) { return readHidden(terminal, question); });
        ::close(terminal);
        return opened;
#elif defined(Q_OS_WIN)
        // The console itself, as /dev/tty on Linux: standard input may be a file or a pipe.
        const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        const HANDLE input =
            ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
        const HANDLE output =
            ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) {
            for (HANDLE handle : {input, output})
                if (handle != INVALID_HANDLE_VALUE)
                    ::CloseHandle(handle);
            return nowhereToAsk(diaryPath, "console");
        }
        const bool opened = askTimes(diaryPath, tryPassword,
                                     [&](const QString &question) { return readHidden(input, output, question); });
        ::CloseHandle(input);
        ::CloseHandle(output);
        return opened;
#else
        Q_UNUSED(tryPassword);
        std::fprintf(stderr,
                     "brimvale: the diary %s has a password of its own; the command line cannot ask for it "
                     "here.\n",
                     qUtf8Printable(QDir::toNativeSeparators(diaryPath)));
        return false;
#endif
    }
};

// Longer than any password the windows take (32767 characters of up to three bytes), yet bounded:
// standard input may hold anything.
constexpr std::size_t kLongestLine = 32767 * 3;

bool inputIsTerminal()
{
#ifdef Q_OS_WIN
    return ::GetFileType(::GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_CHAR;
#else
    return ::isatty(STDIN_FILENO) == 1;
#endif
}

// One byte at a time from the input itself, past any buffer that would keep a copy of the password
// or read on beyond its line; false at the end of the input.
bool readByte(char *c)
{
#ifdef Q_OS_WIN
    DWORD got = 0;
    return ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), c, 1, &got, nullptr) && got == 1;
#else
    ssize_t got = 0;
    do
        got = ::read(STDIN_FILENO, c, 1);
    while (got < 0 && errno == EINTR);
    return got == 1;
#endif
}

// The first line of standard input, without its line end (LF or CR LF), into line, whose room is
// never outgrown; why it holds no password otherwise.
std::optional<const char *> readPipedLine(std::string &line)
{
    // Typed there, the password would show as it is typed.
    if (inputIsTerminal())
        return "is a terminal, where the password would show";
    char c = 0;
    while (line.size() <= kLongestLine && readByte(&c) && c != '\n')
        line.push_back(c);
    if (line.size() > kLongestLine)
        return "holds a line longer than any password";
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.find('\0') != std::string::npos)
        return "holds a NUL byte, which no password does";
    if (line.empty())
        return "holds no password";
    return std::nullopt;
}

class PipedPrompt final : public PasswordPrompt {
public:
    bool ask(const QString &, const std::function<bool(const QString &)> &tryPassword) override
    {
        // One line, once: another question would read what the script meant for something else.
        if (m_asked)
            return false;
        m_asked = true;
        std::string line;
        line.reserve(kLongestLine + 1);
        if (const auto refused = readPipedLine(line)) {
            secrets::wipe(line);
            std::fprintf(stderr, "brimvale: standard input %s: one line with the diary's password is expected.\n",
                         *refused);
            return false;
        }
        QString password = QString::fromUtf8(line.data(), qsizetype(line.size()));
        secrets::wipe(line);
        const bool opened = tryPassword(password);
        secrets::wipe(password);
        return opened;
    }

private:
    bool m_asked = false;
};
} // namespace

std::unique_ptr<PasswordPrompt> pipedPasswordPrompt()
{
    return std::make_unique<PipedPrompt>();
}

std::unique_ptr<PasswordPrompt> terminalPasswordPrompt()
{
    return std::make_unique<TerminalPrompt>();
}

void useStartingConsole()
{
#ifdef Q_OS_WIN
    if (::GetConsoleWindow() != nullptr || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (::GetFileType(::GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN)
        std::freopen("CONOUT$", "w", stdout);
    if (::GetFileType(::GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN)
        std::freopen("CONOUT$", "w", stderr);
#endif
}

} // namespace platform
