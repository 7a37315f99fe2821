#include "gui/folder_choosers.h"

#include <QByteArray>
#include <QFile>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

#include "gui/window_front_end.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/mounts.h"

namespace stepcount::gui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 14;

// Draws each entry indented by its depth below the root.
class IndentingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.adjust(index.data(kDepthRole).toInt() * kIndentPixels, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

QByteArray bytesOf(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string pathOf(const QListWidgetItem* item) {
    const QByteArray path = item->data(kPathRole).toByteArray();
    return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

// The folders inside `folder`, links to folders included, in the walk's
// order; none when it cannot be read.
std::vector<std::string> subfolders(const std::string& folder) {
    std::vector<ListedEntry> entries;
    const UniqueFd fd = openFolder(folder);
    if (!fd.valid() || !listFolder(fd.get(), entries)) return {};
    std::vector<std::string> names;
    for (ListedEntry& entry : entries) {
        // Links, and entries the listing does not type, are looked at.
        const EntryType type = entry.type == EntryType::Unreachable
                                   ? inspectEntry(fd.get(), entry.name).type
                                   : entry.type;
        if (type == EntryType::Folder) names.push_back(std::move(entry.name));
    }
    return names;
}

// Runs a handler of a user's action; a failure in it is shown and leaves the
// window open.
template <class Action>
void guarded(QWidget* control, Action action) {
    try {
        action();
    } catch (const std::exception& failure) {
        showDialog(control, failure.what(), control->window()->windowTitle());
    }
}

}  // namespace

std::string childPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && isPathSeparator(folder.back())) return folder + name;
    return folder + kPathSeparator + name;
}

QString displayText(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string fileSystemBytes(const QString& text) {
    const QByteArray bytes = kNamesAreUtf8 ? text.toUtf8() : QFile::encodeName(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentingDelegate(this));
    connect(this, &QListWidget::itemActivated, this, &DirectoryListBox::openEntry);
}

void DirectoryListBox::setDirectory(const std::string& folder) {
    folder_ = folder;
    if (folder_.empty()) {
        const std::vector<std::string> drives = listDrives();
        folder_ = drives.empty() ? std::string(1, kPathSeparator) : drives.front();
    }
    const std::size_t root = rootLength(folder_);
    while (folder_.size() > std::max<std::size_t>(root, 1) && isPathSeparator(folder_.back())) {
        folder_.pop_back();
    }

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    auto add = [&](const std::string& path, const QString& text, int depth, const QIcon& icon) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(kPathRole, bytesOf(path));
        item->setData(kDepthRole, depth);
        return item;
    };

    // The root, then each folder on the way down to the current one.
    std::string path = folder_.substr(0, root);
    add(path, displayText(path), 0, openIcon);
    int depth = 0;
    for (std::size_t start = root; start < folder_.size();) {
        const std::size_t end =
            std::min(folder_.find_first_of(kPathSeparators, start), folder_.size());
        if (end > start) {
            const std::string name = folder_.substr(start, end - start);
            path = childPath(path, name);
            add(path, displayText(name), ++depth, openIcon);
        }
        start = end + 1;
    }
    QListWidgetItem* current = item(count() - 1);
    for (const std::string& name : subfolders(folder_)) {
        add(childPath(folder_, name), displayText(name), depth + 1, closedIcon);
    }
    setCurrentItem(current);
    scrollToItem(current);
    emit changed();
}

void DirectoryListBox::openEntry(QListWidgetItem* item) {
    if (item != nullptr) guarded(this, [&] { setDirectory(pathOf(item)); });
}

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    setDrives(listDrives());
    connect(this, &QComboBox::currentIndexChanged, this, &DriveComboBox::driveChosen);
}

void DriveComboBox::setDirList(DirectoryListBox* list) {
    list_ = list;
    connect(list_, &DirectoryListBox::changed, this, &DriveComboBox::followList);
    followList();
}

void DriveComboBox::setDrives(const std::vector<std::string>& drives) {
    following_ = true;
    clear();
    for (const std::string& drive : drives) addItem(displayText(drive), bytesOf(drive));
    following_ = false;
    if (list_ != nullptr) followList();
}

void DriveComboBox::driveChosen(int index) {
    if (following_ || list_ == nullptr || index < 0) return;
    const QByteArray drive = itemData(index).toByteArray();
    guarded(this, [&] {
        list_->setDirectory(std::string(drive.constData(), static_cast<std::size_t>(drive.size())));
    });
}

// Shows the drive that holds the list's current folder: the longest mount
// point that the folder lies in.
void DriveComboBox::followList() {
    const std::string& folder = list_->currentFolder();
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QByteArray drive = itemData(i).toByteArray();
        const std::string_view mount(drive.constData(), static_cast<std::size_t>(drive.size()));
        const bool holds = !mount.empty() && folder.starts_with(mount) &&
                           (folder.size() == mount.size() || isPathSeparator(mount.back()) ||
                            isPathSeparator(folder[mount.size()]));
        if (holds && drive.size() > bestLength) {
            best = i;
            bestLength = drive.size();
        }
    }
    following_ = true;
    setCurrentIndex(best);
    following_ = false;
}

}  // namespace stepcount::gui
