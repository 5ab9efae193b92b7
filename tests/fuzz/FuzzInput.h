// What every fuzz target shares: the fuzzer's bytes read as a stream of choices (past the end
// every read gives zeros, so each input decodes to a whole run), and a check that stops the run
// where libFuzzer sees it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace kiv::fuzz {

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    // Up to n bytes, fewer at the end of the input.
    std::string Bytes(std::size_t n)
    {
        n = std::min(n, size - pos);
        std::string s(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return s;
    }
    // A byte giving the length, then that many bytes.
    std::string Text() { return Bytes(Byte()); }
    template <std::size_t N>
    const char* Pick(const char* const (&items)[N])
    {
        return items[Byte() % N];
    }
};

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace kiv::fuzz
