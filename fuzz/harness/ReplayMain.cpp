// Runs one harness over files without libFuzzer: the regression files on
// Windows, where there are no sanitizers, with stack canaries and bounds checks
// that trap instead. Arguments are files or folders (every file in them, in
// name order, README.md left out). A fault ends the process; the exit status
// is 0 when every file ran and 1 when there was none to run.
#include "framework/MessageBoxService.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// image/ shows a message box only for a state it should never reach.
class AbortingMessageBoxes : public MessageBoxService {
public:
    int Show(HWND, const std::string& text, const std::string&, UINT) override
    {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        std::abort();
    }
};

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::string name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name != "README.md")
            files.push_back(folder + "\\" + name);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.clear();
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    AbortingMessageBoxes boxes;
    ScopedMessageBoxService guard(boxes);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const DWORD attributes = ::GetFileAttributesA(argv[i]);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::vector<std::string> inside = FilesIn(argv[i]);
            files.insert(files.end(), inside.begin(), inside.end());
        } else {
            files.push_back(argv[i]);
        }
    }
    std::vector<std::uint8_t> bytes;
    for (const std::string& path : files) {
        if (!ReadWhole(path, bytes)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu files ran\n", files.size());
    return files.empty() ? 1 : 0;
}
