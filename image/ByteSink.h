#pragma once

#include <cstddef>

// Where written bytes go: a file, or in tests a recorder.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // The number of bytes written.
    virtual std::size_t Write(const void* data, std::size_t count) = 0;
};
