// Start-up time of the main window (the six tables open, every tab built, shown) beside a bare
// Qt window with the same tab control, measured in the same run. Prints figures only.
#include "app/main_window.h"
#include "records/schema.h"
#include "widgets/prompt_service.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
template <class Make> double shownAfterMs(Make make) {
    QElapsedTimer clock;
    clock.start();
    auto window = make();
    window->show();
    QElapsedTimer limit;
    limit.start();
    do
        QApplication::processEvents();
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) &&
           limit.elapsed() < 5000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    window.reset();
    QApplication::processEvents();
    return ms;
}

void report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-40s min %7.2f ms  median %7.2f ms  max %7.2f ms\n", what, v.front(),
                v[v.size() / 2], v.back());
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("VELM.mdb"));
    try {
        schema::createDatabase(db);
    } catch (const std::exception& e) {
        std::printf("could not create the record database: %s\n", e.what());
        return 1;
    }
    constexpr int kRuns = 15;
    std::vector<double> tool;
    std::vector<double> bare;
    for (int i = 0; i < kRuns; ++i) {
        tool.push_back(shownAfterMs([&] {
            static ScriptedPrompts prompts;
            return std::make_unique<TForm1>(prompts, db);
        }));
        bare.push_back(shownAfterMs([] {
            auto w = std::make_unique<QMainWindow>();
            auto* tabs = new QTabWidget(w.get());
            for (int t = 1; t <= 8; ++t)
                tabs->addTab(new QWidget(tabs), QStringLiteral("TabSheet%1").arg(t));
            w->setCentralWidget(tabs);
            w->resize(1354, 739);
            return w;
        }));
    }
    std::printf("start-up to a shown window, %d runs each (platform %s)\n", kRuns,
                qPrintable(QGuiApplication::platformName()));
    report("velm main window, six tables open", tool);
    report("bare window with the same tab control", bare);
    return 0;
}
