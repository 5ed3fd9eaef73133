#pragma once

// Where the time of the section window's actions goes, and what changing the store would gain:
// the parts of load and reload measured one by one, at one diary size.

#include "harness.h"

#include <QString>

#include <vector>

namespace bench {

struct Part {
    QString what;
    double ms = 0;
};

std::vector<Part> explainSection(const Run &run, int entries);

} // namespace bench
