// tavrel-convert: the window's two conversions for whole batches of files,
// without a display.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "cli/options.h"
#include "cli/plan.h"
#include "cli/runner.h"

namespace {

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

int UsageError(const QString& error) {
    Print(stderr, QStringLiteral("tavrel-convert: ") + error + QLatin1Char('\n') +
                      tavrel::cli::ShortUsage());
    return 2;
}

// A large picture is held several times over while it is converted (as
// decoded, on the working surface, cropped), and faulting that memory in
// 4 KiB pages costs more than the pixel work itself. glibc backs its
// allocations with transparent huge pages only when told so at start-up, so
// a run with a large input starts itself again once with that setting. Small
// inputs are not worth the second start.
void RestartWithHugePagesForLargeInputs(char** argv, const std::vector<tavrel::cli::Job>& jobs) {
#if defined(__GLIBC__) && defined(__linux__)
    constexpr qint64 kLargeInput = 16 * 1024 * 1024;
    const QByteArray tunables = qgetenv("GLIBC_TUNABLES");
    if (tunables.contains("glibc.malloc.hugetlb")) {
        return;  // set already, by us or by the user
    }
    QFile thp(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!thp.open(QIODevice::ReadOnly) || !thp.readAll().contains("[madvise]")) {
        return;  // either always on or never available
    }
    const bool large = std::any_of(jobs.begin(), jobs.end(), [](const tavrel::cli::Job& job) {
        return job.failure.isEmpty() && QFileInfo(job.input).size() >= kLargeInput;
    });
    if (!large) {
        return;
    }
    const QByteArray value =
        (tunables.isEmpty() ? QByteArray() : tunables + ':') + "glibc.malloc.hugetlb=1";
    ::setenv("GLIBC_TUNABLES", value.constData(), 1);
    std::fflush(nullptr);
    ::execv("/proc/self/exe", argv);
    ::unsetenv("GLIBC_TUNABLES");  // no restart: go on as we are
    if (!tunables.isEmpty()) {
        ::setenv("GLIBC_TUNABLES", tunables.constData(), 1);
    }
#else
    Q_UNUSED(argv);
    Q_UNUSED(jobs);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // Gives Qt the command line's encoding and the image plugins' paths; no
    // display is needed.
    QCoreApplication app(argc, argv);
    using namespace tavrel::cli;
    const ParseResult parsed = ParseArguments(QCoreApplication::arguments());
    switch (parsed.outcome) {
        case ParseOutcome::Help:
            Print(stdout, HelpText());
            return 0;
        case ParseOutcome::Version:
            Print(stdout, VersionText());
            return 0;
        case ParseOutcome::UsageError:
            return UsageError(parsed.error);
        case ParseOutcome::Run:
            break;
    }
    const Plan plan = PlanRun(parsed.options);
    if (!plan.usageError.isEmpty()) {
        return UsageError(plan.usageError);
    }
    RestartWithHugePagesForLargeInputs(argv, plan.jobs);
    return RunJobs(plan.jobs, parsed.options);
}
