// Every input that once crashed a fuzz target (and the seeds kept beside
// them) runs through the same code on each test run.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>

#include "tests/fuzz/fuzz_bodies.h"

namespace {

TEST(FuzzRegressions, EveryKeptInputRunsThroughItsTarget) {
    const std::pair<QString, void (*)(const std::uint8_t*, std::size_t)> targets[] = {
        {"button_file", tavrel::fuzz::ButtonFile},
        {"picture", tavrel::fuzz::Picture},
        {"pixbuf", tavrel::fuzz::PixbufLoader},
        {"cli_args", tavrel::fuzz::CliArguments}};
    for (const auto& [folder, body] : targets) {
        int count = 0;
        for (QDirIterator it(TAVREL_FUZZ_REGRESSIONS "/" + folder, QDir::Files); it.hasNext();
             ++count) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            SCOPED_TRACE(file.fileName().toStdString());
            body(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 static_cast<std::size_t>(bytes.size()));
        }
        EXPECT_GT(count, 0) << folder.toStdString();
    }
}

}  // namespace
