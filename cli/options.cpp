#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QHash>

#include <thread>

namespace tavrel::cli {

namespace {

// More workers than this only add memory: each one holds its own surfaces.
constexpr int kMaxJobs = 256;

int DefaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxJobs));
}

// Stands in for an argument whose bytes are not valid UTF-8 while the parser
// reads the command line: a lone surrogate, which no decoded text holds, so
// the argument is recognised wherever the parser puts it.
QString Placeholder(qsizetype index) {
    return QChar(0xDC00) + QString::number(index);
}

// undecodable: placeholder -> the argument as shown (replacement characters
// for the bytes that are not UTF-8).
ParseResult Parse(const QStringList& arguments, const QHash<QString, QString>& undecodable);

}  // namespace

QString ShortUsage() {
    return QStringLiteral(
        "Usage: tavrel-convert [options] PATH...\n"
        "Try 'tavrel-convert --help' for more information.\n");
}

QString VersionText() {
    return QStringLiteral("tavrel-convert " TAVREL_VERSION "\n");
}

QString HelpText() {
    return QStringLiteral(
        "Usage: tavrel-convert [options] PATH...\n"
        "Converts bitmaps (.bmp) into button files (.Btn) and button files (.btn)\n"
        "into bitmaps, cropped to their content, exactly as the Tavrel window does.\n"
        "\n"
        "A file is converted by its name: NAME.bmp gives NAME.Btn, NAME.btn gives\n"
        "NAME.bmp (any case). A folder stands for its *.bmp or *.btn files and needs\n"
        "a direction. A PATH of - reads standard input and writes standard output\n"
        "(tavrel-convert --to-button - < in.bmp > out.btn); it needs a direction.\n"
        "\n"
        "Options:\n"
        "  --to-button     convert to button files; any picture format is read\n"
        "  --to-bmp        convert to bitmaps\n"
        "  -r, --recursive go into subfolders of the folders given\n"
        "  -o, --output DIR\n"
        "                  write every output into DIR (created when missing);\n"
        "                  with -o -, the one output goes to standard output\n"
        "  -j, --jobs N    convert N files at a time (default: number of cores)\n"
        "  -q, --quiet     print nothing but errors\n"
        "  --verbose       print INPUT -> OUTPUT for every file written\n"
        "  -h, --help      show this help\n"
        "  --version       show the version\n"
        "\n"
        "Exit status: 0 when every file converted without a message, 1 when any\n"
        "file failed or drew a message, 2 for a usage error, 130 when interrupted.\n");
}

ParseResult ParseArguments(const QList<QByteArray>& arguments) {
    QStringList decoded;
    QHash<QString, QString> undecodable;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& raw = arguments[i];
        const QString text = QFile::decodeName(raw);
        // An option keeps its text: an unknown one is reported as it reads.
        if (i > 0 && QFile::encodeName(text) != raw && (optionsEnded || !raw.startsWith('-'))) {
            decoded.append(Placeholder(i));
            undecodable.insert(decoded.last(), text);
        } else {
            decoded.append(text);
        }
        optionsEnded = optionsEnded || (i > 0 && raw == "--");
    }
    return Parse(decoded, undecodable);
}

ParseResult ParseArguments(const QStringList& arguments) {
    return Parse(arguments, {});
}

namespace {

ParseResult Parse(const QStringList& arguments, const QHash<QString, QString>& undecodable) {
    const auto shown = [&undecodable](const QString& text) {
        return undecodable.value(text, text);
    };
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption toButton(QStringLiteral("to-button"));
    const QCommandLineOption toBmp(QStringLiteral("to-bmp"));
    const QCommandLineOption recursive(
        QStringList{QStringLiteral("r"), QStringLiteral("recursive")});
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("DIR"));
    const QCommandLineOption jobs(QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
                                  QString(), QStringLiteral("N"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({toButton, toBmp, recursive, output, jobs, quiet, verbose, help, version});

    ParseResult result;
    auto usageError = [&result](const QString& text) {
        result.outcome = ParseOutcome::UsageError;
        result.error = text;
        return result;
    };
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        result.outcome = ParseOutcome::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = ParseOutcome::Version;
        return result;
    }

    Options& o = result.options;
    if (parser.isSet(toButton) && parser.isSet(toBmp)) {
        return usageError(QStringLiteral("--to-button and --to-bmp cannot be used together"));
    }
    if (parser.isSet(toButton)) {
        o.direction = Direction::ToButton;
    } else if (parser.isSet(toBmp)) {
        o.direction = Direction::ToBmp;
    }
    if (parser.isSet(quiet) && parser.isSet(verbose)) {
        return usageError(QStringLiteral("--quiet and --verbose cannot be used together"));
    }
    o.quiet = parser.isSet(quiet);
    o.verbose = parser.isSet(verbose);
    o.recursive = parser.isSet(recursive);
    if (parser.isSet(output)) {
        o.outputDir = parser.value(output);
        if (o.outputDir.isEmpty()) {
            return usageError(QStringLiteral("the output folder of -o is empty"));
        }
        if (undecodable.contains(o.outputDir)) {
            return usageError(QStringLiteral("the name of the output folder %1 is not valid UTF-8")
                                  .arg(shown(o.outputDir)));
        }
        if (o.outputDir == QLatin1String("-")) {
            o.toStandardOutput = true;
            o.outputDir.clear();
        }
    }
    o.jobs = DefaultJobs();
    if (parser.isSet(jobs)) {
        bool ok = false;
        const int n = parser.value(jobs).toInt(&ok);
        if (!ok || n < 1) {
            return usageError(QStringLiteral("--jobs needs a whole number of at least 1, not '%1'")
                                  .arg(shown(parser.value(jobs))));
        }
        o.jobs = std::min(n, kMaxJobs);
    }
    for (const QString& path : parser.positionalArguments()) {
        if (path.isEmpty()) {
            return usageError(QStringLiteral("an empty PATH was given"));
        }
        o.fromStandardInput = o.fromStandardInput || path == QLatin1String("-");
        o.paths.append({shown(path), !undecodable.contains(path)});
    }
    if (o.paths.isEmpty()) {
        return usageError(QStringLiteral("no PATH given"));
    }
    if (o.fromStandardInput) {
        if (o.paths.size() > 1) {
            return usageError(QStringLiteral("- (standard input) must be the only PATH"));
        }
        if (o.direction == Direction::ByName) {
            return usageError(QStringLiteral("- (standard input) needs --to-button or --to-bmp"));
        }
        if (!o.outputDir.isEmpty()) {
            return usageError(QStringLiteral(
                "the conversion of - (standard input) goes to standard output, not into a folder"));
        }
        o.toStandardOutput = true;
    }
    if (o.toStandardOutput && o.paths.size() > 1) {
        return usageError(QStringLiteral("-o - (standard output) takes one PATH"));
    }
    return result;
}

}  // namespace

}  // namespace tavrel::cli
