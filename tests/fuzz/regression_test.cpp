// Every input that once crashed a fuzz target (and the seeds kept beside
// them) runs through the same code on each test run.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>

#include "tests/fuzz/fuzz_bodies.h"

namespace {

void RunAll(const QString& folder, void (*body)(const std::uint8_t*, std::size_t)) {
    int count = 0;
    QDirIterator it(QStringLiteral(TAVREL_FUZZ_REGRESSIONS) + "/" + folder, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(file.fileName().toStdString());
        body(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
             static_cast<std::size_t>(bytes.size()));
        ++count;
    }
    EXPECT_GT(count, 0);
}

TEST(FuzzRegressions, ButtonFile) {
    RunAll("button_file", tavrel::fuzz::ButtonFile);
}
TEST(FuzzRegressions, Picture) {
    RunAll("picture", tavrel::fuzz::Picture);
}
TEST(FuzzRegressions, CliArguments) {
    RunAll("cli_args", tavrel::fuzz::CliArguments);
}

}  // namespace
