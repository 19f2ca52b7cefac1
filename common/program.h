// Finding a program before it is started.
#pragma once

#include <string>

namespace somlabel {

// Why `name` cannot be started, looked up the way posix_spawnp looks for it
// (on PATH unless it holds a '/'), or 0. posix_spawnp reports this itself
// only where the C library sees the exec fail; under Valgrind, for one, the
// child just ends with status 127, so callers look first.
[[nodiscard]] int start_error(const std::string& name);

}  // namespace somlabel
