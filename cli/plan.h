#pragma once

#include <QHash>
#include <QString>

#include <vector>

#include "cli/options.h"

namespace tavrel::cli {

// One file of the run: what to read, what to write, or why it is not
// converted at all.
struct Job {
    QString input;                   // as named in messages and handed to the converters
    Direction direction;             // ToButton or ToBmp
    QString outputFolder;            // made when missing, just before the file is written
    QString output;                  // the file written, after the case rule
    QString target;                  // where the write lands: output, or the end of its link chain
    QString failure;                 // when set, the file fails with this text unconverted
    bool fromStandardInput = false;  // input "-"
    bool toStandardOutput = false;   // output "-"; nothing is written to a file
};

// A file's identity, links followed: its device and inode, so that a link or
// another spelling of a path is still the same file.
struct FileKey {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileKey&, const FileKey&) = default;
};
size_t qHash(const FileKey& key, size_t seed = 0);

struct Plan {
    std::vector<Job> jobs;
    // Every input found, by identity, as first named: no write of the run
    // may replace one, also where a link planted later leads to it.
    QHash<FileKey, QString> inputs;
    QString usageError;  // when set, nothing runs
};

// The output file name for an input name: NAME.bmp gives NAME.Btn and
// NAME.btn gives NAME.bmp (the last 4 characters dropped, as the window
// does); any other name has its last extension replaced.
QString OutputName(const QString& inputName, Direction direction);

// Collects every input of the run and decides every output before anything
// is written, so that no output can replace an input or another output.
Plan PlanRun(const Options& options);

}  // namespace tavrel::cli
