// The folder list and the drive box of the window. The list shows the path
// of its current folder, one entry per folder from the root down, followed by
// the folders inside it; opening an entry (double click or Enter) makes it
// the current folder. The drive box lists the mounted file systems and moves
// its list to the one picked. Paths are kept as the file system's own bytes.
#pragma once

#include <QComboBox>
#include <QListWidget>

#include <string>
#include <vector>

namespace stepcount::gui {

class DirectoryListBox : public QListWidget {
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    // The current folder's full path; a trailing separator only for a root.
    const std::string& currentFolder() const { return folder_; }
    // The index of the selected entry, -1 when none is selected.
    int itemIndex() const { return currentRow(); }

    // Makes `folder` (an absolute path; empty: the first drive) the current
    // folder, selects its entry and raises `changed`.
    void setDirectory(const std::string& folder);

signals:
    // The current folder has changed.
    void changed();

private:
    void openEntry(QListWidgetItem* item);
    std::string folder_;
};

class DriveComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // The list that a drive picked here moves to, and that this box follows.
    void setDirList(DirectoryListBox* list);
    // Replaces the drives offered (the mounted file systems by default).
    void setDrives(const std::vector<std::string>& drives);

private:
    void driveChosen(int index);
    void followList();

    DirectoryListBox* list_ = nullptr;
    bool following_ = false;
};

// The full path of `name` inside `folder`.
std::string childPath(const std::string& folder, const std::string& name);

// A file system's bytes as display text, and back.
QString displayText(const std::string& bytes);
std::string fileSystemBytes(const QString& text);

}  // namespace stepcount::gui
