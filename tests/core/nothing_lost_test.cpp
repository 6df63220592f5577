// Hundreds of conversions in both directions into a folder that already
// holds files, with writes cut off at random points: afterwards every file
// is exactly its old content or exactly the complete new content, and no
// temporary file is left behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ScriptedMessageBoxes;

struct Job {
    QString input;       // in the source folder
    QString outputName;  // in the target folder
    bool toButton;
};

class NothingLost : public ::testing::TestWithParam<bool> {
  protected:
    NothingLost() : picButtons_(2, false), picWorking_(2, true), picOut_(2, true) {
        picButtons_.Move(5280, 3360, 3012, 492);
    }

    bool Run(const Job& job, const QString& folder, MessageBoxes& boxes) {
        const QString out = folder + "/" + job.outputName;
        const SaveOptions options{GetParam()};
        if (job.toButton) {
            return ConvertBitmapToButton(job.input, out, picWorking_, picOut_, boxes, options);
        }
        if (DrawButtonFile(job.input, picButtons_, boxes, size_) != DrawResult::Drawn) {
            return false;
        }
        return ConvertDrawingToBitmap(picButtons_, size_, picWorking_, picOut_, out, boxes,
                                      options) == BitmapResult::Written;
    }

    PictureSurface picButtons_;
    PictureSurface picWorking_;
    PictureSurface picOut_;
    ButtonSize size_;
};

TEST_P(NothingLost, EveryFileIsOldOrCompletelyNew) {
    QTemporaryDir dir;
    QDir root(dir.path());
    ASSERT_TRUE(root.mkpath("src") && root.mkpath("target") && root.mkpath("ref"));
    const QString src = dir.filePath("src"), target = dir.filePath("target");
    QRandomGenerator random(GetParam() ? 7 : 8);

    QList<Job> jobs;
    for (int i = 0; i < 6; ++i) {
        // Bitmaps of different sizes, so the cut-off falls anywhere in them.
        const int w = 4 + random.bounded(120), h = 3 + random.bounded(60);
        testing::BitmapRecipe recipe = testing::WhiteBitmap(w, h);
        for (std::uint32_t& p : recipe.pixels) {
            p = random.bounded(3) == 0 ? 0x808080u * random.bounded(2) : 0xFFFFFFu;
        }
        recipe.pixels[static_cast<size_t>(w + 1)] = 0;
        const QString name = QString("pic%1.bmp").arg(i);
        testing::WriteAll(src + "/" + name, testing::MakeBitmap(recipe));
        jobs.append({src + "/" + name, QString("pic%1.Btn").arg(i), true});

        QByteArray button;
        const int rows = 1 + random.bounded(40), cols = 1 + random.bounded(90);
        for (int r = 0; r < rows; ++r) {
            QByteArray line(cols, '0');
            for (char& c : line) {
                c = "0123"[random.bounded(4)];
            }
            button += QByteArray::number(r).rightJustified(5, '0') + ":" + line + "\r\n";
        }
        const QString bname = QString("btn%1.BTN").arg(i);
        testing::WriteAll(src + "/" + bname, button);
        jobs.append({src + "/" + bname, QString("btn%1.bmp").arg(i), false});
    }

    // What each conversion writes when nothing goes wrong.
    QHash<QString, QByteArray> complete;
    for (const Job& job : jobs) {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(Run(job, dir.filePath("ref"), boxes));
        complete[job.outputName] = testing::ReadAll(dir.filePath("ref/" + job.outputName));
    }

    // The target folder already holds every output name, and bystanders.
    QHash<QString, QByteArray> current;
    for (const Job& job : jobs) {
        current[job.outputName] = "old " + job.outputName.toUtf8();
    }
    current["bystander.txt"] = "untouched";
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        testing::WriteAll(target + "/" + it.key(), it.value());
    }

    int failures = 0, successes = 0;
    for (int round = 0; round < 300; ++round) {
        const Job& job = jobs[random.bounded(jobs.size())];
        const QByteArray& full = complete[job.outputName];
        // Mostly a limit somewhere inside the file, sometimes none at all.
        const long limit = random.bounded(5) == 0 ? 1L << 40 : random.bounded(full.size() + 1);
        ScriptedMessageBoxes boxes;  // answers Cancel to a failed save
        bool converted = false;
        testing::WithFileSizeLimit(limit, [&] { converted = Run(job, target, boxes); });
        const QByteArray now = testing::ReadAll(target + "/" + job.outputName);
        if (converted) {
            ASSERT_EQ(now, full) << round;
            current[job.outputName] = full;
            ++successes;
        } else {
            ASSERT_EQ(now, current[job.outputName]) << round;
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown[0].title, "File save error");
            ++failures;
        }
    }
    EXPECT_GT(failures, 50);
    EXPECT_GT(successes, 20);

    QStringList expectedNames = current.keys();
    expectedNames.sort();
    EXPECT_EQ(testing::Entries(target), expectedNames);  // no temporary file left
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        EXPECT_EQ(testing::ReadAll(target + "/" + it.key()), it.value()) << it.key().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(SyncedAndBatched, NothingLost, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Synced" : "Batched"; });

}  // namespace
}  // namespace tavrel
