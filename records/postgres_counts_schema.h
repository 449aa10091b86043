// The kept counts' tables and the trigger that keeps them, on a PostgreSQL server.
//
//   kPostgresCountsSql   the statements that make them (the counts are filled afterwards)
#pragma once

extern const char kPostgresCountsSql[];
