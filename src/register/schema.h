// The register's tables, the same on both engines, and their versions.
#pragma once

#include "register/database.h"

namespace q5::reg {

// Creates the tables of an empty register, or checks the schema-version row
// of an existing one, in one write transaction. Throws DatabaseError; a
// newer version than this program's is refused before anything is changed.
void prepare_schema(Database& db, int program_version);

}  // namespace q5::reg
