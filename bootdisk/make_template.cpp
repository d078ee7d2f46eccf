// Build-time tool: lays out KELDRIX.ATR around the assembled boot loader.
//   make_template LOADER.BIN OUTPUT.ATR
#include "template_layout.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_template LOADER.BIN OUTPUT.ATR\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "make_template: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::vector<std::uint8_t> loader((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    auto built = korvane::bootdisk::BuildTemplateImage(loader);
    if (auto* message = std::get_if<std::string>(&built)) {
        std::cerr << "make_template: " << *message << "\n";
        return 1;
    }
    const auto& image = std::get<korvane::bootdisk::TemplateImage>(built);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.bytes.data()),
              static_cast<std::streamsize>(image.bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "make_template: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
