// Force-included by scripts/fuzz-backend.sh only: clang 14 with libstdc++ 12
// has no std::source_location (it lacks __builtin_source_location), which
// the log's header uses. This stand-in keeps the fuzz build compiling.
#pragma once

#include <source_location>

#ifndef __cpp_lib_source_location
#include <cstdint>
namespace std {
struct source_location {
    static constexpr source_location current(const char* file = __builtin_FILE(), const char* function = __builtin_FUNCTION(),
                                             std::uint_least32_t line = __builtin_LINE()) noexcept
    {
        source_location location;
        location.m_file = file;
        location.m_function = function;
        location.m_line = line;
        return location;
    }
    constexpr const char* file_name() const noexcept { return m_file; }
    constexpr const char* function_name() const noexcept { return m_function; }
    constexpr std::uint_least32_t line() const noexcept { return m_line; }
    constexpr std::uint_least32_t column() const noexcept { return 0; }

    const char* m_file = "";
    const char* m_function = "";
    std::uint_least32_t m_line = 0;
};
} // namespace std
#endif
