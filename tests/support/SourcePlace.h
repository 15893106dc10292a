#pragma once

// The file and line of a test's call, taken where the caller stands (a default
// argument), so a helper's failure message points at the test line that used it.
// std::source_location would do, but clang 14 with libstdc++ 12 (the sanitizer builds)
// does not provide it; the builtins below work with both compilers.
namespace qptest {

struct SourcePlace {
    const char* file = "";
    int line = 0;

    static constexpr SourcePlace Current(const char* file = __builtin_FILE(),
                                         int line = __builtin_LINE()) {
        return SourcePlace{file, line};
    }
};

} // namespace qptest
