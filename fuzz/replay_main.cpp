// Replays the files named on the command line through the fuzz target, so the
// target builds and its seed corpus runs with any compiler, without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::cerr << "cannot read " << argv[i] << "\n";
            return 1;
        }
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string input = bytes.str();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    std::cout << "replayed " << (argc - 1) << " inputs\n";
    return 0;
}
