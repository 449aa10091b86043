// Time as the records keep and show it: milliseconds since 1970-01-01 UTC.
//
//   NowUtcMs()                      the clock now
//   IsoUtcMs(ms)                    "2026-12-08T04:25:52.123Z"
//   ParseTimeBound(text, ms, error) a --since/--until value: "2026-12-08" (00:00 UTC),
//                                   "2026-12-08T06:00", "2026-12-08T06:00:00.5",
//                                   "2026-12-08 06:00:00" (UTC when no offset is given),
//                                   "...Z", "...+01:00"; false with a reason otherwise
#pragma once

#include <cstdint>
#include <string>

int64_t NowUtcMs();
std::string IsoUtcMs(int64_t ms);
bool ParseTimeBound(const std::string& text, int64_t& ms, std::string& error);
