#pragma once

// The keys of each table of the keyed design file, in one place: the reader refuses any
// other key, and an unknown key that another table knows is pointed to that table.

#include <span>
#include <string>
#include <string_view>

namespace survseq::input {

// The keys known in `table`: "" for the top level, "accrual", "statistics" (each
// [[statistics]] table), ... Empty for a name that is no table of the file.
std::span<const std::string_view> keysOfTable(std::string_view table);

// Where `key` belongs when it stands in `table`, which does not know it: "`hazard_ratio`
// belongs in [alternative]", "`seed` belongs at the top level, above the first table";
// empty when no other table knows it.
std::string whereKeyBelongs(std::string_view key, std::string_view table);

}  // namespace survseq::input
