// Scrolls a FileBrowser grid of 1000 pictures from top to bottom and back, measuring the
// time between presented frames, then measures the process's CPU time while the window is
// hidden. The peer is the same grid over 1000 files without pictures (type icons only).
//     bench_window_grid [count]
#include <sys/resource.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/app_model.hpp"
#include "media/thumb_store.hpp"
#include "ui/qml_setup.hpp"

namespace {

const char* kScene = R"(
import QtQuick
import Skiff.Browser
Window {
    id: scene
    width: 1000
    height: 700
    property var entries: []
    FileBrowser {
        objectName: "browser"
        anchors.fill: parent
        entries: scene.entries
        grid: true
        tileSize: 168
    }
}
)";

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Lets the event loop sleep between events, as the program's own loop does.
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void runFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

QVariantList makeEntries(const QString& folder, int count, const char* suffix, bool pictures) {
    QVariantList entries;
    for (int i = 0; i < count; ++i) {
        QString path = QString("%1/photo-%2.%3").arg(folder).arg(i, 4, 10, QChar('0')).arg(suffix);
        if (pictures) {
            QImage image(800, 600, QImage::Format_RGB32);
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, 800, 600);
            gradient.setColorAt(0, QColor::fromHsv((i * 37) % 360, 160, 230));
            gradient.setColorAt(1, QColor::fromHsv((i * 37 + 120) % 360, 200, 120));
            painter.fillRect(image.rect(), gradient);
            painter.end();
            image.save(path, "JPG", 85);
        } else {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("data");
        }
        entries.append(QVariantMap{{"id", QString("r%1").arg(i)},
                                   {"path", path},
                                   {"url", QUrl::fromLocalFile(path)},
                                   {"name", QFileInfo(path).fileName()},
                                   {"size", static_cast<double>(QFileInfo(path).size())},
                                   {"detail", "bench"},
                                   {"warning", ""},
                                   {"removable", false}});
    }
    return entries;
}

struct Pass {
    const char* name;
    std::vector<double> frames;  // ms between presented frames
    double seconds = 0;
    double cpu = 0;
};

// Scrolls down and back up at a steady 24 px per frame, as a trackpad fling would.
Pass scroll(QQuickWindow* window, QQuickItem* browser, const char* name) {
    Pass pass;
    pass.name = name;
    auto* view = browser ? browser->findChild<QQuickItem*>("fileGrid") : nullptr;
    if (!view) return pass;
    double bottom = view->property("contentHeight").toDouble() - view->height();
    std::fprintf(stderr, "%s: scrolling %.0f px\n", name, bottom);
    double y = 0, step = 24;
    QElapsedTimer clock, total;
    bool done = false;
    auto connection = QObject::connect(window, &QQuickWindow::frameSwapped, window, [&] {
        if (clock.isValid()) pass.frames.push_back(clock.nsecsElapsed() / 1e6);
        clock.restart();
        y += step;
        if (y >= bottom) {
            y = bottom;
            step = -step;
        }
        if (y <= 0 && step < 0) done = true;
        view->setProperty("contentY", std::max(0.0, y));
        window->update();
    });
    double cpuBefore = cpuSeconds();
    total.start();
    window->update();
    while (!done && total.elapsed() < 240000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    pass.seconds = total.elapsed() / 1000.0;
    pass.cpu = cpuSeconds() - cpuBefore;
    QObject::disconnect(connection);
    return pass;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

void print(const Pass& pass) {
    double sum = 0;
    int janks = 0;
    for (double ms : pass.frames) {
        sum += ms;
        if (ms > 33.4) ++janks;
    }
    std::printf("| %s | %zu | %.1f | %.1f | %.1f | %.1f | %.1f | %d | %.1f s | %.1f s |\n",
                pass.name, pass.frames.size(), sum / std::max<std::size_t>(1, pass.frames.size()),
                percentile(pass.frames, 0.5), percentile(pass.frames, 0.95),
                percentile(pass.frames, 0.99), percentile(pass.frames, 1.0), janks, pass.seconds,
                pass.cpu);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path() + "/config");
    QSettings settings(dir.path() + "/settings.ini", QSettings::IniFormat);
    QDir().mkpath(dir.path() + "/pictures");
    QDir().mkpath(dir.path() + "/plain");
    std::fprintf(stderr, "making %d pictures…\n", count);
    QVariantList pictures = makeEntries(dir.path() + "/pictures", count, "jpg", true);
    QVariantList plain = makeEntries(dir.path() + "/plain", count, "bin", false);

    skiff::app::DesktopServices services;
    services.listInterfaces = [] { return std::vector<skiff::app::NetIface>{}; };
    services.firewallState = [] { return skiff::app::FirewallReading(); };
    services.prefetch = [](const std::filesystem::path&) {};
    skiff::app::AppModel model(skiff::app::Timing::system(&app), services, &settings);
    QQmlApplicationEngine engine;
    skiff::ui::prepareEngine(engine, model);
    engine.loadData(kScene);
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().value(0));
    if (!window) return 1;
    auto* browser = window->findChild<QQuickItem*>("browser");
    window->show();
    runFor(500);

    std::printf(
        "| pass | frames | mean ms | p50 | p95 | p99 | max | frames > 33 ms | time | CPU |\n");
    std::printf("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
    window->setProperty("entries", plain);
    runFor(500);
    print(scroll(window, browser, "icons only (peer)"));
    window->setProperty("entries", pictures);
    runFor(500);
    print(scroll(window, browser, "thumbnails, cold"));
    skiff::media::ThumbStore::shared().waitIdle();
    runFor(500);
    print(scroll(window, browser, "thumbnails, warm"));

    // Idle costs: shown and untouched, then hidden.
    skiff::media::ThumbStore::shared().waitIdle();
    runFor(1000);
    double before = cpuSeconds();
    idleFor(5000);
    std::printf("\nCPU while shown and idle: %.3f s in 5 s\n", cpuSeconds() - before);
    window->hide();
    runFor(1000);
    before = cpuSeconds();
    idleFor(5000);
    std::printf("CPU while hidden: %.3f s in 5 s\n", cpuSeconds() - before);
    return 0;
}
