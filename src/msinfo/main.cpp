// msinfo32: the system-information tool that the About box starts. It lists the operating system,
// the machine, its memory and the registry store in use, in a window or, without a display (or
// with /console), on standard output.
#include "registry/RegistryService.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

QString memoryText() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return QStringLiteral("unknown");
    const qint64 bytes = static_cast<qint64>(pages) * pageSize;
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString report() {
    QString text;
    QTextStream out(&text);
    out << "System Information\n\n";
    out << "Operating system:   " << QSysInfo::prettyProductName() << '\n';
    out << "Kernel:             " << QSysInfo::kernelType() << ' ' << QSysInfo::kernelVersion() << '\n';
    out << "Machine name:       " << QSysInfo::machineHostName() << '\n';
    out << "Processor:          " << QSysInfo::currentCpuArchitecture() << ", "
        << QThread::idealThreadCount() << " logical processors\n";
    out << "Physical memory:    " << memoryText() << '\n';
    if (const karvo::reg::RegistryChoice choice = karvo::reg::registryChoice(); choice.wine) {
        out << "Registry:           the Wine prefix " << QString::fromStdString(choice.location) << '\n';
        return text;
    }
    const QString store = QString::fromStdString(karvo::reg::defaultStorePath());
    const QFileInfo storeInfo(store);
    // Recent changes live in the write-ahead log beside the store until they are copied back, so
    // the store's size is both files together.
    const qint64 size = storeInfo.size() + QFileInfo(store + QStringLiteral("-wal")).size();
    out << "Registry store:     " << store << '\n';
    out << "Registry store size: "
        << (storeInfo.exists() ? QLocale::c().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat)
                               : QStringLiteral("not created yet"))
        << '\n';
    return text;
}

bool wantsConsole(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "/console") == 0 || std::strcmp(argv[i], "--console") == 0)
            return true;
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    return !display;
}

}  // namespace

int main(int argc, char** argv) {
    if (wantsConsole(argc, argv)) {
        const QByteArray text = report().toUtf8();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("System Information"));
    auto* layout = new QVBoxLayout(&window);
    auto* view = new QPlainTextEdit(report(), &window);
    view->setReadOnly(true);
    view->setFont(QFont(QStringLiteral("monospace")));
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QWidget::close);
    layout->addWidget(buttons);
    window.resize(560, 280);
    window.show();
    return app.exec();
}
