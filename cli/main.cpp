// tavrel-convert: the window's two conversions for whole batches of files,
// without a display.

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

#include "cli/options.h"
#include "cli/plan.h"
#include "cli/runner.h"
#include "files/console.h"

namespace {

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

int UsageError(const QString& error) {
    Print(stderr, QStringLiteral("tavrel-convert: ") + tavrel::Printable(error) +
                      QLatin1Char('\n') + tavrel::cli::ShortUsage());
    return 2;
}

// Qt's own diagnostics (an image over the allocation limit, a plugin's
// complaint) would reach stderr outside the one-line format, ignore --quiet
// and come in the order the workers happen to finish. The conversion's own
// message already says what failed, so they are dropped; only a fatal one,
// after which Qt ends the program, is still printed.
void DropQtDiagnostics(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        Print(stderr,
              QStringLiteral("tavrel-convert: ") + tavrel::Printable(text) + QLatin1Char('\n'));
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A standard descriptor the caller closed would be taken by the next file
    // opened, an output among them, and a message or the --verbose list
    // would go into that file. Each takes the lowest free descriptor, so
    // this must come before anything else opens one.
    bool closed[3] = {};
    tavrel::OpenClosedStandardDescriptors(closed);
    // A write past the file-size limit then fails with "File too large" and
    // is reported like any other, instead of killing the run with its
    // temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // The command line byte for byte, before Qt sees it: Qt's own list loses
    // the bytes of a name that is not valid UTF-8.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QByteArray(argv[i]));
    }
    qInstallMessageHandler(DropQtDiagnostics);
    // Gives Qt the image plugins' paths; no display is needed.
    QCoreApplication app(argc, argv);
    using namespace tavrel::cli;
    const ParseResult parsed = ParseArguments(arguments);
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
    // A picture piped through must come from somewhere and go somewhere.
    if (parsed.options.fromStandardInput && closed[0]) {
        return UsageError(QStringLiteral("- reads standard input, which is closed"));
    }
    if (parsed.options.toStandardOutput && closed[1]) {
        return UsageError(QStringLiteral("the output goes to standard output, which is closed"));
    }
    const Plan plan = PlanRun(parsed.options);
    if (!plan.usageError.isEmpty()) {
        return UsageError(plan.usageError);
    }
    return RunJobs(plan, parsed.options);
}
