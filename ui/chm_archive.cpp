#include "chm_archive.h"

#include <chm_lib.h>

#include "le_bytes.h"

namespace korvane {

namespace {

// The #SYSTEM object: a 4-byte version, then records of a 16-bit code, a 16-bit length
// and that many bytes of data. Code 2 names the default topic.
constexpr std::size_t kSystemVersionSize = 4;
constexpr std::size_t kSystemRecordHead = 4;
constexpr std::uint16_t kDefaultTopicCode = 2;

int CollectFile(chmFile* /*handle*/, chmUnitInfo* unit, void* context) {
    auto* files = static_cast<std::vector<std::string>*>(context);
    const std::string path = unit->path;
    // Internal objects start with "/#" or "/$"; directories end with "/".
    if (path.size() > 1 && path[0] == '/' && path[1] != '#' && path[1] != '$' &&
        path.back() != '/') {
        files->push_back(path);
    }
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

std::unique_ptr<ChmArchive> ChmArchive::Open(const std::filesystem::path& file) {
    chmFile* handle = chm_open(file.c_str());
    if (handle == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<ChmArchive>(new ChmArchive(handle));
}

ChmArchive::~ChmArchive() {
    chm_close(handle_);
}

std::optional<QByteArray> ChmArchive::Read(const std::string& object_path) const {
    chmUnitInfo unit{};
    if (chm_resolve_object(handle_, object_path.c_str(), &unit) != CHM_RESOLVE_SUCCESS) {
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(unit.length), Qt::Uninitialized);
    if (unit.length == 0) {
        return bytes;
    }
    const LONGINT64 read =
        chm_retrieve_object(handle_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(unit.length));
    if (read != static_cast<LONGINT64>(unit.length)) {
        return std::nullopt;
    }
    return bytes;
}

std::string ChmArchive::DefaultTopic() const {
    const std::optional<QByteArray> system = Read("/#SYSTEM");
    if (!system) {
        return {};
    }
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t*>(system->constData()),
        static_cast<std::size_t>(system->size()));
    const std::size_t size = data.size();
    std::size_t at = kSystemVersionSize;
    while (at + kSystemRecordHead <= size) {
        const std::uint16_t code = ReadLe16(data, at);
        const std::uint16_t length = ReadLe16(data, at + 2);
        at += kSystemRecordHead;
        if (at + length > size) {
            break;
        }
        if (code == kDefaultTopicCode) {
            std::string topic(reinterpret_cast<const char*>(data.data() + at), length);
            topic = topic.substr(0, topic.find('\0'));
            return topic.empty() || topic[0] == '/' ? topic : "/" + topic;
        }
        at += length;
    }
    return {};
}

std::vector<std::string> ChmArchive::Files() const {
    std::vector<std::string> files;
    chm_enumerate(handle_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectFile, &files);
    return files;
}

}  // namespace korvane
