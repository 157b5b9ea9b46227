// The list "My Backups": a list box that keeps its backup names sorted with letter case ignored.
#pragma once

#include <QListWidget>

namespace karvo::backup {

class BackupListBox : public QListWidget {
    Q_OBJECT
public:
    explicit BackupListBox(QWidget* parent = nullptr);

    // A horizontal scroll range of at least this many pixels, however short the names are.
    void setHorizontalExtent(int pixels);
    int horizontalExtent() const { return extent_; }

    // Appends one entry, which takes its sorted place.
    void addBackupName(const QString& name);
    QStringList names() const;

protected:
    void updateGeometries() override;

private:
    int extent_ = 0;
};

// Adds the backup names found in folder to the list; the list is not emptied first.
void FillBackupList(BackupListBox* list, const QString& folder);

}  // namespace karvo::backup
