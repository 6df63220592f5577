// How long opening a folder of 2000 bitmaps and 2000 button files takes in
// the window, up to the first file previewed: the folder change, the file
// list's read and the preview, for each pane; and F5 on both lists.
//
//   browse_bench [runs]        (offscreen unless QT_QPA_PLATFORM says otherwise)

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "main_window/frm_main.h"
#include "widgets/file_list_box.h"
#include "widgets/folder_list_box.h"

namespace {

constexpr int kFiles = 2000;

void MakeFolder(const QString& dir) {
    QDir().mkpath(dir);
    QImage bitmap(64, 32, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    for (int y = 4; y < 28; ++y) {
        for (int x = 4; x < 60; ++x) {
            bitmap.setPixel(x, y, qRgb(x * 4, y * 8, 128));
        }
    }
    QByteArray button;
    for (int r = 0; r < 24; ++r) {
        button += QByteArray::number(r).rightJustified(5, '0') + ':';
        for (int c = 0; c < 48; ++c) {
            button += char('0' + (r + c) % 4);
        }
        button += "\r\n";
    }
    for (int i = 0; i < kFiles; ++i) {
        const QString stem = dir + QStringLiteral("/image%1").arg(i, 4, 10, QLatin1Char('0'));
        bitmap.save(stem + QStringLiteral(".bmp"), "BMP");
        QFile file(stem + QStringLiteral(".Btn"));
        if (file.open(QIODevice::WriteOnly)) {
            file.write(button);
        }
    }
}

struct Figures {
    double median, worst;
};

// Times step after an untimed setup, runs times.
template <typename Setup, typename Step>
Figures Measure(int runs, Setup&& setup, Step&& step) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        setup();
        QElapsedTimer timer;
        timer.start();
        step();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    QTemporaryDir tmp;
    // The window reads the user's settings at load: give it a store of its own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tmp.path());
    const QString full = tmp.path() + QStringLiteral("/full");
    const QString empty = tmp.path() + QStringLiteral("/empty");
    MakeFolder(full);
    QDir().mkpath(empty);

    tavrel::FrmMain w;
    w.Timer_Timer();

    const auto open = [&](tavrel::FolderListBox* folders) {
        return Measure(
            runs, [&] { folders->SetPath(empty); },
            // The folder change reads the list and previews entry 0.
            [&] { folders->SetPath(full); });
    };
    const Figures bmp = open(w.dirBMP);
    const Figures buttons = open(w.dirButtons);
    w.dirBMP->SetPath(full);
    const Figures refresh = Measure(
        runs, [] {}, [&] { w.RefreshFileLists(); });

    std::printf("folder of %d bitmaps and %d button files, %d runs each (ms)\n", kFiles, kFiles,
                runs);
    std::printf("  listed: %d bitmaps, %d button files\n", w.fileBMP->ListCount(),
                w.fileButtons->ListCount());
    std::printf("  open folder + preview first bitmap:     median %7.2f  worst %7.2f\n", bmp.median,
                bmp.worst);
    std::printf("  open folder + draw first button file:   median %7.2f  worst %7.2f\n",
                buttons.median, buttons.worst);
    std::printf("  F5: re-read both lists + both previews:  median %7.2f  worst %7.2f\n",
                refresh.median, refresh.worst);
    return 0;
}
