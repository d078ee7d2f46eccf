#include "drive_list.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "report_text.h"

namespace korvane {

namespace {

// Disk-backed file systems whose source is not a device path.
const std::set<std::string> kNetworkTypes = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "virtiofs", "zfs", "fuse.sshfs", "fuse.rclone",
};

// Device-backed mounts that are not volumes a user keeps files on.
const std::set<std::string> kSkippedTypes = {"squashfs", "iso9660.snap"};

// Mount points of the kernel's own trees.
bool UnderSystemTree(const std::string& root) {
    for (const char* tree : {"/proc", "/sys", "/dev", "/snap"}) {
        const std::string prefix = tree;
        if (root == prefix || root.rfind(prefix + "/", 0) == 0) {
            return true;
        }
    }
    return false;
}

// The mount table writes blanks, tabs, newlines and backslashes as \ooo.
std::string UnescapeOctal(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// Labels under /dev/disk/by-label write unusual bytes as \xNN.
std::string UnescapeHex(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out.push_back(static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

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

}  // namespace

std::vector<Volume> ParseMountTable(const std::string& table) {
    std::vector<Volume> volumes;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string root;
        std::string type;
        if (!(fields >> device >> root >> type)) {
            continue;
        }
        device = UnescapeOctal(device);
        root = UnescapeOctal(root);
        const bool device_backed = device.rfind("/dev/", 0) == 0 && kSkippedTypes.count(type) == 0;
        const bool wanted = root == "/" || ((device_backed || kNetworkTypes.count(type) != 0) &&
                                            !UnderSystemTree(root));
        // A later mount hides whatever was mounted on the same root before.
        volumes.erase(std::remove_if(volumes.begin(), volumes.end(),
                                     [&](const Volume& v) { return v.root == root; }),
                      volumes.end());
        if (wanted) {
            volumes.push_back(Volume{root, device, type, {}});
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
    std::ifstream in("/proc/self/mounts");
    std::stringstream table;
    table << in.rdbuf();
    std::vector<Volume> volumes = ParseMountTable(table.str());

    std::error_code ec;
    for (std::filesystem::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code link_ec;
        const std::filesystem::path device = std::filesystem::canonical(it->path(), link_ec);
        if (link_ec) {
            continue;
        }
        for (Volume& volume : volumes) {
            std::error_code device_ec;
            if (!volume.device.empty() &&
                std::filesystem::canonical(volume.device, device_ec) == device && !device_ec) {
                volume.label = UnescapeHex(it->path().filename().native());
            }
        }
    }
    return volumes;
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
