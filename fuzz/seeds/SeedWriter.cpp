#include "SeedWriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace seeds {

namespace {

std::string g_out;
std::map<std::string, int> g_counts;

// The harnesses' -max_len (fuzz/harnesses.txt): a longer seed would be cut.
std::uintmax_t MaxLength(const std::string& format)
{
    return format == "gif" || format == "jpeg" ? 16384 : 32768;
}

std::string Describe(const Expected& expected)
{
    if (expected.result == 0)
        return "a refusal";
    return "result " + std::to_string(expected.result) + " at " + std::to_string(expected.width) +
           "x" + std::to_string(expected.height);
}

} // namespace

void Fail(const std::string& what)
{
    std::fprintf(stderr, "make_seeds: %s\n", what.c_str());
    // Without the exit handlers: the leak check would report the reader
    // still alive on the caller's stack.
    std::fflush(stdout);
    std::_Exit(1);
}

void SetOutputFolder(const std::string& folder)
{
    g_out = folder;
}

std::string SeedPath(const std::string& format, const std::string& name)
{
    const std::string folder = g_out + "/" + format;
    std::filesystem::create_directories(folder);
    ++g_counts[format];
    return folder + "/" + name;
}

std::string SaveSeed(const std::string& format, const std::string& name, const Bytes& bytes)
{
    const std::string path = SeedPath(format, name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written =
        file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0)
        Fail("cannot write " + path);
    if (!written)
        Fail("cannot write " + path);
    return path;
}

void ExpectRead(CImageImpl& reader, const std::string& path, const Expected& expected)
{
    const int result = reader.Read(path);
    const bool sizeMatters = expected.result != 0;
    if (result != expected.result || (sizeMatters && (reader.GetWidth() != expected.width ||
                                                      reader.GetHeight() != expected.height)))
        Fail(path + ": have result " + std::to_string(result) + " at " +
             std::to_string(reader.GetWidth()) + "x" + std::to_string(reader.GetHeight()) +
             ", want " + Describe(expected));
}

void CheckAndSummarise()
{
    int total = 0;
    for (const auto& [format, count] : g_counts) {
        for (const auto& entry : std::filesystem::directory_iterator(g_out + "/" + format)) {
            if (entry.file_size() > MaxLength(format))
                Fail(entry.path().string() + " is longer than the harness reads");
        }
        std::printf("make_seeds: %d %s seeds\n", count, format.c_str());
        total += count;
    }
    std::printf("make_seeds: %d seeds in %s\n", total, g_out.c_str());
}

} // namespace seeds
