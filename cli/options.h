#pragma once

#include <QString>
#include <QStringList>

namespace tavrel::cli {

enum class Direction { ByName, ToButton, ToBmp };

struct Options {
    Direction direction = Direction::ByName;
    bool recursive = false;
    QString outputDir;  // empty: each output goes beside its input
    int jobs = 1;
    bool quiet = false;
    bool verbose = false;
    QStringList paths;
};

enum class ParseOutcome { Run, Help, Version, UsageError };

struct ParseResult {
    ParseOutcome outcome = ParseOutcome::Run;
    Options options;
    QString error;  // for UsageError
};

// Reads the command line (arguments[0] is the program name).
ParseResult ParseArguments(const QStringList& arguments);

QString HelpText();
QString ShortUsage();
QString VersionText();

}  // namespace tavrel::cli
