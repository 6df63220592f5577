#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavrel::cli {

enum class Direction { ByName, ToButton, ToBmp };

// A PATH of the command line. A name whose bytes are not valid UTF-8 cannot
// be handed on to the converters: it is shown with replacement characters
// and fails as a file.
struct InputPath {
    QString path;
    bool validName = true;
};

struct Options {
    Direction direction = Direction::ByName;
    bool recursive = false;
    QString outputDir;  // empty: each output goes beside its input
    int jobs = 1;
    bool quiet = false;
    bool verbose = false;
    QList<InputPath> paths;
    // "-" as the one PATH: a picture or button file read from standard
    // input, and its conversion written to standard output.
    bool fromStandardInput = false;
    // "-o -", or "-" as the PATH: the one output goes to standard output.
    bool toStandardOutput = false;
};

enum class ParseOutcome { Run, Help, Version, UsageError };

struct ParseResult {
    ParseOutcome outcome = ParseOutcome::Run;
    Options options;
    QString error;  // for UsageError
};

// Reads the command line (arguments[0] is the program name) as the system
// passed it, byte for byte.
ParseResult ParseArguments(const QList<QByteArray>& arguments);
// The same for a command line already decoded (every name taken as valid).
ParseResult ParseArguments(const QStringList& arguments);

QString HelpText();
QString ShortUsage();
QString VersionText();

}  // namespace tavrel::cli
