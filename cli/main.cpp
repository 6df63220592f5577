// tavrel-convert: the window's two conversions for whole batches of files,
// without a display.

#include <QCoreApplication>

#include <cstdio>

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
    return RunJobs(plan.jobs, parsed.options);
}
