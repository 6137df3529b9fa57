// What every option that takes a value checks first: that a value was
// given at all.
#pragma once

#include <CLI/Validators.hpp>
#include <string>

namespace q5::cli {

// An empty value is refused (an empty -o would save over the input file,
// an empty --log keep no log), and so is one that begins with "--": that is
// an option the value was forgotten before, as in "--log --demo", which
// would otherwise take --demo as a file name and leave the real cable in use.
inline CLI::Validator given_value() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        if (value.empty()) return "a value is needed, not an empty one";
        if (value.rfind("--", 0) == 0) return "a value is needed, not the option " + value;
        return {};
      },
      "");
}

}  // namespace q5::cli
