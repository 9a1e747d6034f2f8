#include "RunMode.h"

#include <cstdint>

bool MatchesRoleLetter(const char* argument, const char* letter)
{
    if (*argument == '-' || *argument == '/')
        ++argument;
    return *argument != '\0' && *argument == *letter;
}

HWND ParseWindowHandle(const char* text)
{
    if (text == nullptr)
        return nullptr;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    // Accumulate modulo 2^32: window handles carry 32 significant bits and are
    // sign-extended, so a host that prints them unsigned still names the window.
    std::uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
    if (negative)
        value = 0u - value;
    const auto handle = static_cast<std::intptr_t>(static_cast<std::int32_t>(value));
    return reinterpret_cast<HWND>(handle);
}

RunMode ChooseRunMode(int argc, const char* const* argv)
{
    if (argc <= 1 || MatchesRoleLetter(argv[1], "c"))
        return {Role::Configure, nullptr};
    if (MatchesRoleLetter(argv[1], "p"))
        return {Role::Preview, ParseWindowHandle(argc > 2 ? argv[2] : nullptr)};
    return {Role::Saver, nullptr};
}
