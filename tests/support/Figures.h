#pragma once
// Long runs: counts come from the environment so the reliability script can
// raise them; each sweep prints its figures on a line of its own.
#include <cstdlib>
#include <iostream>
#include <string>

namespace testing_support {

inline int CountFromEnvironment(const char* variable, int fallback)
{
    const char* value = std::getenv(variable);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

inline void ReportFigure(const std::string& name, long value)
{
    std::cout << "FIGURE " << name << " " << value << std::endl;
}

} // namespace testing_support
