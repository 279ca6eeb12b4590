// Feeds every file of the given corpus folders (or single files) to a fuzz target once, in
// name order: the saved inputs become a plain regression test for any compiler.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& place)
{
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(place)) {
        for (const auto& entry : std::filesystem::directory_iterator(place)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(place)) {
        inputs.push_back(place);
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t replayed = 0;
    for (int arg = 1; arg < argc; ++arg) {
        for (const auto& input : InputsOf(argv[arg])) {
            std::ifstream file(input, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            std::fprintf(stderr, "replaying %s\n", input.c_str());
            // Like libFuzzer, hand over a valid pointer even for an empty input.
            static const uint8_t nothing = 0;
            const uint8_t* const data = bytes.empty() ? &nothing : reinterpret_cast<const uint8_t*>(bytes.data());
            LLVMFuzzerTestOneInput(data, bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("%zu inputs ran clean\n", replayed);
    return 0;
}
