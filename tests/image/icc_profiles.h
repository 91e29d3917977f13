#pragma once

#include <QByteArray>

namespace mirvane::test {

// An RGB profile with linear curves, written as a table, which Qt 6.4 cannot use and
// Little CMS can: sRGB 128 through it is 188.
QByteArray LinearTableProfile();

}  // namespace mirvane::test
