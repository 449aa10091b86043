// The kept counts' tables and the trigger that keeps them, on a PostgreSQL server.
//
//   PostgresCountsSql()   the statements that make them (the counts are filled afterwards)
#pragma once

const char* PostgresCountsSql();
