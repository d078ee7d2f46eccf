#include "plain_window.h"

#include "file_list.h"

namespace korvane {

FsStatus PlainWindow::ApplyDirectory(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> files;
    const FsStatus status = ListSourceFiles(fs_, directory, pattern_, files);
    if (!status.ok()) {
        return status;
    }
    directory_ = directory;
    source_path_ = directory;
    files_ = std::move(files);
    SetCaption(Control::source_count, std::to_string(files_.size()));
    return FsStatus::Ok();
}

void PlainWindow::ApplySingleFile(const std::filesystem::path& directory,
                                  const std::filesystem::path& name) {
    directory_ = directory;
    source_path_ = directory;
    files_ = {name};
    SetCaption(Control::source_count, "1");
}

std::string PlainWindow::Text(Control control) const {
    const auto it = texts_.find(control);
    return it == texts_.end() ? std::string() : it->second;
}

std::string PlainWindow::Caption(Control control) const {
    return Text(control);
}

int PlainWindow::CheckValue(Control control) const {
    const auto it = checks_.find(control);
    return it == checks_.end() ? 0 : it->second;
}

bool PlainWindow::Enabled(Control control) const {
    const auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
}

std::filesystem::path PlainWindow::FileEntry(std::int64_t index) const {
    return files_.at(static_cast<std::size_t>(index));
}

void PlainWindow::RefreshFileList() {
    std::vector<std::filesystem::path> files;
    if (relist_ && ListSourceFiles(fs_, directory_, pattern_, files).ok()) {
        files_ = std::move(files);
    }
}

}  // namespace korvane
