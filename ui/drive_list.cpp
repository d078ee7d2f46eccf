#include "drive_list.h"

#include <QFile>
#include <QStorageInfo>
#include <algorithm>
#include <set>

#include "report_text.h"

namespace korvane {

namespace {

// Disk-backed file systems whose source is not a device path.
const std::set<std::string> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "virtiofs", "zfs", "fuse.sshfs", "fuse.rclone",
};

// Device-backed mounts that are not volumes a user keeps files on.
const std::set<std::string> kSkippedTypes = {"squashfs", "iso9660.snap"};

bool IsAncestorOrSelf(const std::filesystem::path& root, const std::filesystem::path& path) {
    auto r = root.begin();
    auto p = path.begin();
    for (; r != root.end(); ++r, ++p) {
        if (p == path.end() || *r != *p) {
            return false;
        }
    }
    return true;
}

// Mount points of the kernel's own trees.
bool UnderSystemTree(const std::filesystem::path& root) {
    for (const char* tree : {"/proc", "/sys", "/dev", "/snap"}) {
        if (IsAncestorOrSelf(tree, root)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<Volume> UserVolumes(const std::vector<Volume>& mounts) {
    std::vector<Volume> volumes;
    for (const Volume& mount : mounts) {
        const bool device_backed =
            mount.device.native().rfind("/dev/", 0) == 0 && kSkippedTypes.count(mount.type) == 0;
        const bool wanted =
            mount.root == "/" || ((device_backed || kNetworkTypes.count(mount.type) != 0) &&
                                  !UnderSystemTree(mount.root));
        // A later mount hides whatever was mounted on the same root before.
        std::erase_if(volumes, [&](const Volume& v) { return v.root == mount.root; });
        if (wanted) {
            volumes.push_back(mount);
        }
    }
    if (std::none_of(volumes.begin(), volumes.end(),
                     [](const Volume& v) { return v.root == "/"; })) {
        volumes.push_back(Volume{"/", {}, {}, {}});
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return volumes;
}

std::vector<Volume> MountedVolumes() {
    std::vector<Volume> mounts;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (storage.isValid() && storage.isReady()) {
            mounts.push_back(Volume{
                QFile::encodeName(storage.rootPath()).toStdString(), storage.device().toStdString(),
                storage.fileSystemType().toStdString(), storage.name().toStdString()});
        }
    }
    return UserVolumes(mounts);
}

std::size_t VolumeIndexOf(const std::vector<Volume>& volumes, const std::filesystem::path& path) {
    std::size_t best = 0;
    std::size_t best_depth = 0;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const std::size_t depth =
            static_cast<std::size_t>(std::distance(volumes[i].root.begin(), volumes[i].root.end()));
        if (IsAncestorOrSelf(volumes[i].root, path) && depth >= best_depth) {
            best = i;
            best_depth = depth;
        }
    }
    return best;
}

QString VolumeText(const Volume& volume) {
    QString text = QString::fromStdString(DisplayName(volume.root));
    if (!volume.label.empty()) {
        text += QStringLiteral("  [") + QString::fromStdString(DisplayName(volume.label)) +
                QLatin1Char(']');
    }
    return text;
}

}  // namespace korvane
