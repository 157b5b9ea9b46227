#include "backup/BackupList.h"

#include "backup/Backups.h"

#include <QScrollBar>

namespace karvo::backup {

namespace {

class BackupItem : public QListWidgetItem {
public:
    explicit BackupItem(const QString& text) : QListWidgetItem(text) {}
    bool operator<(const QListWidgetItem& other) const override {
        return QString::compare(text(), other.text(), Qt::CaseInsensitive) < 0;
    }
};

}  // namespace

BackupListBox::BackupListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void BackupListBox::setHorizontalExtent(int pixels) {
    extent_ = pixels;
    // As with a list box given a scroll extent wider than itself, the bar then stays shown; a
    // bar that came and went would change the width it is measured against.
    if (extent_ > 0)
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    updateGeometries();
}

void BackupListBox::addBackupName(const QString& name) { addItem(new BackupItem(name)); }

QStringList BackupListBox::names() const {
    QStringList result;
    for (int i = 0; i < count(); ++i)
        result.append(item(i)->text());
    return result;
}

void BackupListBox::updateGeometries() {
    QListWidget::updateGeometries();
    const int wanted = extent_ - viewport()->width();
    if (wanted > horizontalScrollBar()->maximum()) {
        horizontalScrollBar()->setRange(0, wanted);
        horizontalScrollBar()->setPageStep(viewport()->width());
    }
}

void FillBackupList(BackupListBox* list, const QString& folder) {
    for (const QString& name : backupNames(folder))
        list->addBackupName(name);
}

}  // namespace karvo::backup
