#include "processes.h"

#include "fixtures.h"
#include "sections.h"

#include <QFile>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

extern char **environ;

namespace bench {

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct ChildReport {
    double startMs = -1;
    long peakKb = -1;
    int rows = -1;
};

bool ourVariable(const std::string &entry)
{
    for (const char *name : {"QT_QPA_PLATFORM=", "QT_PLUGIN_PATH=", "QT_QPA_GENERIC_PLUGINS=", "BRIMVALE_PROBE_"})
        if (entry.rfind(name, 0) == 0)
            return true;
    return false;
}

// Starts the program with the probe loaded and reads what the probe reports.
ChildReport launch(const std::vector<const char *> &arguments, const std::vector<std::string> &variables)
{
    std::vector<std::string> env;
    for (char **entry = environ; *entry; ++entry)
        if (!ourVariable(*entry))
            env.emplace_back(*entry);
    env.insert(env.end(),
               {"QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=" BRIMVALE_PROBE_PLUGINS,
                "QT_QPA_GENERIC_PLUGINS=brimvaleprobe"});
    env.insert(env.end(), variables.begin(), variables.end());
    std::vector<char *> envp;
    for (std::string &entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char *> argv;
    for (const char *argument : arguments)
        argv.push_back(const_cast<char *>(argument));
    argv.push_back(nullptr);

    int out[2];
    require(pipe(out) == 0, "a pipe to the child");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // The offscreen platform's warnings would bury the table.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const long long started = monotonicNs();
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    require(spawned == 0, "the child starts");
    std::string output;
    char buffer[512];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, std::size_t(got));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);

    ChildReport report;
    long long shown = 0;
    if (std::sscanf(output.c_str(), "probe shown %lld peak %ld", &shown, &report.peakKb) == 2)
        report.startMs = double(shown - started) / 1e6;
    else if (std::sscanf(output.c_str(), "probe section rows %d peak %ld", &report.rows, &report.peakKb) != 2)
        qFatal("%s reported: %s", argv[0], output.c_str());
    return report;
}

} // namespace

ProcessFigures measureProcesses(const Run &run, const Home &home)
{
    const QString lock = home.runtimeFolder() + QStringLiteral("/brimvale.lock");
    std::vector<double> program, bare, bareText, programPeak, barePeak;
    ProcessFigures figures;
    std::vector<Lane> lanes{
        {[&](int) { QFile::remove(lock); },
         [&](int rep) {
             const ChildReport report = launch({BRIMVALE_PROGRAM}, {"BRIMVALE_PROBE_WINDOW=frmMain"});
             require(report.startMs > 0, "the program shows its main window");
             if (rep >= 0)
                 program.push_back(report.startMs);
         },
         {},
         nullptr},
        {{},
         [&](int rep) {
             const ChildReport report = launch({BRIMVALE_BARE_PROGRAM}, {"BRIMVALE_PROBE_WINDOW=bareWindow"});
             require(report.startMs > 0, "the bare program shows its window");
             if (rep >= 0) {
                 bare.push_back(report.startMs);
                 barePeak.push_back(double(report.peakKb) / 1024);
             }
         },
         {},
         nullptr},
        {{},
         [&](int rep) {
             const ChildReport report = launch({BRIMVALE_BARE_PROGRAM, "--text"}, {"BRIMVALE_PROBE_WINDOW=bareWindow"});
             require(report.startMs > 0, "the bare program shows its window");
             if (rep >= 0)
                 bareText.push_back(report.startMs);
         },
         {},
         nullptr},
    };
    // The lanes' own timers would include the wait for the child's exit; the probe's figures count.
    measure(run, lanes);
    // The peak hardly varies from run to run.
    for (int rep = 0; rep < 5; ++rep) {
        QFile::remove(lock);
        const ChildReport report =
            launch({BRIMVALE_PROGRAM},
                   {"BRIMVALE_PROBE_WINDOW=frmMain", "BRIMVALE_PROBE_SECTION=" + std::to_string(kSection)});
        require(report.rows > 0, "the program lists the section");
        programPeak.push_back(double(report.peakKb) / 1024);
        figures.rows = report.rows;
    }
    figures.programStart = median(program);
    figures.bareStart = median(bare);
    figures.bareTextStart = median(bareText);
    figures.programPeakMb = median(programPeak);
    figures.barePeakMb = median(barePeak);
    return figures;
}

} // namespace bench
