// Figures for the comparison window: a comparison of one top key with 100,000 sub-keys and
// 1,000,000 values (one in ten of each differing), the window opened offscreen (its top key opens
// with it), the top key closed and opened again in both modes, and peak memory.
#include "ui/qt/frmCompare.h"
#include "registry/TextCodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <sys/resource.h>

#include <cstdio>
#include <string>

namespace {

using namespace karvo::compare;

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

Data text(const std::string& s) { return {karvo::reg::kRegSz, karvo::text::utf8ToUtf16le(s) + std::string(2, '\0')}; }

Comparison bigComparison(std::uint32_t keys, std::uint32_t valuesPerKey) {
    Comparison c;
    c.ok = true;
    c.keys.reserve(keys + 1);
    c.keys.push_back({"HKEY_CURRENT_USER\\Software\\Big", Difference::Same, false, true, kNoKey, {}, {}});
    c.tops = {0};
    c.keys[0].children.reserve(keys);
    for (std::uint32_t k = 1; k <= keys; ++k) {
        KeyEntry key{"key" + std::to_string(k), Difference::Same, false, k % 10 == 0, 0, {}, {}};
        key.values.reserve(valuesPerKey);
        for (std::uint32_t v = 0; v < valuesPerKey; ++v) {
            const bool changed = k % 10 == 0 && v == 0;
            if (changed)
                c.liveData.push_back(text("new"));
            key.values.push_back({"value" + std::to_string(v), changed ? Difference::Changed : Difference::Same, false,
                                  changed ? static_cast<std::uint32_t>(c.liveData.size() - 1) : kNoData,
                                  text("data " + std::to_string(v))});
            ++(changed ? c.valueCounts.changed : c.valueCounts.same);
        }
        c.keys.push_back(std::move(key));
        c.keys[0].children.push_back(k);
        ++c.keyCounts.same;
    }
    return c;
}

void expandTop(frmCompare& window, const char* what) {
    auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("tvwCompare"));
    QTreeWidgetItem* top = tree->topLevelItem(0);
    top->setExpanded(false);  // the window opened it; closing drops the level, so it is read again
    QCoreApplication::processEvents();
    QElapsedTimer expand;
    expand.start();
    top->setExpanded(true);
    const qint64 insertMs = expand.elapsed();
    tree->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("expanding the top key, %-17s %6lld ms to insert, %6lld ms shown (%d rows)\n", what,
                static_cast<long long>(insertMs), static_cast<long long>(expand.elapsed()), top->childCount());
    QElapsedTimer scroll;
    scroll.start();
    tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->maximum());
    tree->viewport()->repaint();
    tree->verticalScrollBar()->setValue(0);
    tree->viewport()->repaint();
    std::printf("scrolling to the end and back:                  %6lld ms\n", static_cast<long long>(scroll.elapsed()));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto keys = static_cast<std::uint32_t>(argc > 1 ? std::stoul(argv[1]) : 100000);
    const auto valuesPerKey = static_cast<std::uint32_t>(argc > 2 ? std::stoul(argv[2]) : 10);

    QElapsedTimer build;
    build.start();
    Comparison comparison = bigComparison(keys, valuesPerKey);
    std::printf("making the comparison (%u keys, %u values):  %6lld ms, peak %.1f MB (not part of the figures)\n",
                keys, keys * valuesPerKey, static_cast<long long>(build.elapsed()), peakMegabytes());

    QElapsedTimer open;
    open.start();
    frmCompare window("Big.reg", std::move(comparison));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "window was not exposed\n");
    std::printf("opening the window, shown:                      %6lld ms\n", static_cast<long long>(open.elapsed()));

    expandTop(window, "differences only:");
    std::printf("peak memory, differences only open:             %6.1f MB\n", peakMegabytes());

    QElapsedTimer everything;
    everything.start();
    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("optEverything")), Qt::LeftButton);
    std::printf("switching to everything (drops the tree):       %6lld ms\n", static_cast<long long>(everything.elapsed()));
    expandTop(window, "everything:");
    std::printf("peak memory, everything open:                   %6.1f MB\n", peakMegabytes());

    QElapsedTimer collapse;
    collapse.start();
    window.findChild<QTreeWidget*>(QStringLiteral("tvwCompare"))->topLevelItem(0)->setExpanded(false);
    QCoreApplication::processEvents();
    std::printf("collapsing it again (drops the level):          %6lld ms\n", static_cast<long long>(collapse.elapsed()));
    return 0;
}
