#include "convert_fixture.h"

#include <algorithm>

namespace korvane::testing {

Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain) {
    Bytes bytes(length);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    if (!plain && length >= 2) {
        bytes[0] = 0xFF;
        bytes[1] = 0xFF;
    }
    return bytes;
}

std::string ConvertFailLine() {
    return "Result:   " + std::string(39, '=') + " F A I L " + std::string(39, '=');
}

void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex) {
    const std::optional<Bytes> expected = WithAutorun(template_image, xex);
    ASSERT_TRUE(expected.has_value()) << "the file does not fit the template";
    ASSERT_EQ(image.size(), expected->size());
    const auto differ = std::mismatch(image.begin(), image.end(), expected->begin());
    EXPECT_TRUE(differ.first == image.end())
        << "first difference at offset " << differ.first - image.begin() << ": "
        << int{*differ.first} << " instead of " << int{*differ.second};
}

ConvertFixture::ConvertFixture()
    : program_dir(temp / "program"),
      source_dir(temp / "atari"),
      template_image(TemplateBuilder().Build()) {
    std::filesystem::create_directory(program_dir);
    std::filesystem::create_directory(source_dir);
    PutTemplate(template_image);
}

ConversionRunTotals ConvertFixture::Run() {
    window.plain.SetPattern("*.xex");
    EXPECT_TRUE(window.plain.ApplyDirectory(source_dir).ok());
    return RunXexConversion(context, program_dir);
}

}  // namespace korvane::testing
