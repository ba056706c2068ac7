#pragma once
// Rows of parameterised tables carry a `name`. Google Test prints a parameter it cannot
// format as a byte dump, which CTest then shows in every test's title; print the row's name
// instead (found by argument-dependent lookup, so the rows live in the global namespace), and
// name the generated tests after it too.
#include <concepts>
#include <ostream>
#include <string>

template <typename Row>
    requires requires(const Row& row) {
        { row.name } -> std::convertible_to<const char*>;
    }
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

namespace testsupport {

// The test-name generator for such tables.
struct RowName {
    template <typename Info>
    std::string operator()(const Info& info) const
    {
        return info.param.name;
    }
};

} // namespace testsupport
