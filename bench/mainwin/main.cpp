// Figures for the main window: start-up with an empty program folder, expanding a key with
// 100,000 sub-keys (read, insert, sort, show), responsiveness right after, and peak memory.
#include "ui/qt/frmRegEdit.h"
#include "registry/RegistryService.h"
#include "registry/cRegistry.h"
#include "tree/RegistryTree.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sys/resource.h>

#include <cstdio>
#include <string>

namespace {

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void fillBigKey(karvo::reg::RegistryService& store, int count) {
    store.BeginBatch();
    for (int i = 0; i < count; ++i) {
        // Names deliberately not in creation order, with mixed letter case.
        const std::string name = (i % 2 ? "Key" : "key") + std::to_string((i * 7919) % count);
        karvo::reg::HKey key = 0;
        karvo::reg::DWORD disposition = 0;
        const std::string path = "Software\\Big\\" + name;
        store.RegCreateKeyExA(karvo::reg::kHkeyCurrentUser, path.c_str(), 0, "", 0, karvo::reg::kKeyAllAccess,
                              nullptr, &key, &disposition);
        store.RegCloseKey(key);
    }
    store.CommitBatch();
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == text)
            return parent->child(i);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::stoi(argv[1]) : 100000;

    QTemporaryDir folder;
    QTemporaryDir registryDir;
    const std::string storePath = registryDir.filePath(QStringLiteral("registry.db")).toStdString();
    qputenv("KARVO_REGISTRY", QByteArray::fromStdString(storePath));
    auto store = karvo::reg::openStore(storePath);
    QDir::setCurrent(folder.path());

    // Start-up: empty program folder, window shown.
    const qint64 beforeWindow = sinceStart.elapsed();
    QElapsedTimer startup;
    startup.start();
    frmRegEdit window(folder.path(), store.get());
    window.Form_Load();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "window was not exposed\n");
    const qint64 startupMs = startup.elapsed();
    std::printf("start-up, window constructed to shown:      %6lld ms (process start to shown: %lld ms)\n",
                static_cast<long long>(startupMs), static_cast<long long>(beforeWindow + startupMs));

    QElapsedTimer fill;
    fill.start();
    fillBigKey(*store, count);
    std::printf("filling the store with %d sub-keys:     %6lld ms (not part of the figures)\n", count,
                static_cast<long long>(fill.elapsed()));

    {
        cRegistry reader(*store);
        reader.setClassKey(static_cast<std::int32_t>(karvo::reg::kHkeyCurrentUser));
        reader.setSectionKey("Software\\Big");
        std::vector<std::string> names;
        std::int32_t found = 0;
        QElapsedTimer read;
        read.start();
        reader.EnumerateSections(names, found);
        std::printf("reading the %d names alone (cRegistry):      %6lld ms\n", found,
                    static_cast<long long>(read.elapsed()));
    }

    auto* tree = window.findChild<QTreeWidget*>(QStringLiteral("tvwReg"));
    QTreeWidgetItem* hkcu = tree->topLevelItem(1);
    hkcu->setExpanded(true);
    QTreeWidgetItem* software = childNamed(hkcu, QStringLiteral("Software"));
    software->setExpanded(true);
    QTreeWidgetItem* big = childNamed(software, QStringLiteral("Big"));
    QCoreApplication::processEvents();

    QElapsedTimer expand;
    expand.start();
    big->setExpanded(true);  // read, insert in order, open
    const qint64 readInsertMs = expand.elapsed();
    tree->viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 expandMs = expand.elapsed();
    std::printf("expanding %d sub-keys (read+insert+sort):  %6lld ms\n", count, static_cast<long long>(readInsertMs));
    std::printf("expanding %d sub-keys, shown:              %6lld ms  (target < 300 ms)\n", count,
                static_cast<long long>(expandMs));
    std::printf("sub-keys listed: %d, first \"%s\", last \"%s\"\n", big->childCount(),
                qPrintable(big->child(0)->text(0)), qPrintable(big->child(big->childCount() - 1)->text(0)));

    // Responsiveness with the level open: scrolling to the end and back, one repaint each.
    QElapsedTimer scroll;
    scroll.start();
    tree->verticalScrollBar()->setValue(tree->verticalScrollBar()->maximum());
    tree->viewport()->repaint();
    tree->verticalScrollBar()->setValue(0);
    tree->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("scrolling to the end and back with it open: %6lld ms\n", static_cast<long long>(scroll.elapsed()));

    QElapsedTimer click;
    click.start();
    window.logic().nodeClick(window.nodeOf(big->child(count / 2)));
    QCoreApplication::processEvents();
    std::printf("clicking one of its sub-keys:               %6lld ms\n", static_cast<long long>(click.elapsed()));

    std::printf("peak memory with the tree open:             %6.1f MB  (target < 150 MB)\n", peakMegabytes());

    QElapsedTimer collapse;
    collapse.start();
    big->setExpanded(false);
    QCoreApplication::processEvents();
    std::printf("collapsing it again (drops the level):      %6lld ms\n", static_cast<long long>(collapse.elapsed()));
    return 0;
}
