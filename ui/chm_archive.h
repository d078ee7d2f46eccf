// Read access to a compiled HTML help file (CHM): its pages and pictures by path, and the
// default page that the help project named.
#pragma once

#include <QByteArray>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace korvane {

class ChmArchive {
  public:
    // Opens a help file; nothing when it is missing or not a compiled help file.
    static std::unique_ptr<ChmArchive> Open(const std::filesystem::path& file);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // The content of an object such as "/index.html"; nothing when there is none.
    std::optional<QByteArray> Read(const std::string& object_path) const;
    // The default topic, as an object path ("/index.html"); empty when none is named.
    std::string DefaultTopic() const;
    // The paths of the stored files, the archive's internal ones ("/#SYSTEM") left out.
    std::vector<std::string> Files() const;

  private:
    explicit ChmArchive(chmFile* handle) : handle_(handle) {}
    chmFile* handle_;
};

}  // namespace korvane
