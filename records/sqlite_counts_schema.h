// The kept counts' tables and the triggers that keep them, in a SQLite file.
//
//   SqliteCountsSql()   the statements that make them (the counts are filled afterwards)
#pragma once

const char* SqliteCountsSql();
