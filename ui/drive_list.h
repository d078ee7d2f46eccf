// The drive list `source_drive`: the mounted volumes that hold real file systems, each
// shown by its root path and, where it has one, its label.
#pragma once

#include <QComboBox>
#include <QString>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace korvane {

struct Volume {
    std::filesystem::path root;
    std::filesystem::path device;
    std::string type;
    std::string label;
};

// Of the mounts listed, in mount order, the volumes a user keeps files on: block devices
// and network file systems, and always the root "/". Kernel, memory and read-only package
// file systems are left out; a later mount on the same root replaces an earlier one.
std::vector<Volume> UserVolumes(const std::vector<Volume>& mounts);

// The volumes mounted now, with their labels.
std::vector<Volume> MountedVolumes();

// The volume that holds `path`: the one with the longest root that is an ancestor of it.
std::size_t VolumeIndexOf(const std::vector<Volume>& volumes, const std::filesystem::path& path);

// "/media/usb  [LABEL]" or just the root.
QString VolumeText(const Volume& volume);

// The combo box of the drive list; it tells before it opens, so that the volumes can be
// listed anew (a stick may have been plugged in meanwhile).
class DriveList final : public QComboBox {
    Q_OBJECT

  public:
    using QComboBox::QComboBox;
    void showPopup() override {
        emit popupAboutToShow();
        QComboBox::showPopup();
    }

  signals:
    void popupAboutToShow();
};

}  // namespace korvane
