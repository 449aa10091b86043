// What a request may ask of the dashboard: every value checked as the API promises, and
// the address --serve takes.
#include <gtest/gtest.h>

#include <limits>

#include "dashboard/request_values.h"
#include "dashboard/serve_address.h"
#include "records/record_time.h"

namespace {

RecordQuery Query(const QueryParams& params) {
  RecordQuery query;
  std::string error;
  EXPECT_TRUE(ParseRecordQuery(params, query, error)) << error;
  return query;
}

TEST(RequestValues, RecordsAreNewestFirstAHundredAtATimeWithoutValues) {
  const RecordQuery query = Query({});
  EXPECT_TRUE(query.newestFirst);
  EXPECT_EQ(query.limit, 100u);
  EXPECT_FALSE(query.failedOnly);
  EXPECT_FALSE(query.serial);
  EXPECT_EQ(query.sinceMs, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(query.untilMs, std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Query({{"since", ""}, {"until", ""}}).sinceMs, std::numeric_limits<int64_t>::min());
}

TEST(RequestValues, TheEdgesOfEveryValueAreTaken) {
  EXPECT_EQ(Query({{"limit", "1"}}).limit, 1u);
  EXPECT_EQ(Query({{"limit", "1000"}}).limit, 1000u);
  EXPECT_EQ(Query({{"serial", "0"}}).serial, 0);
  EXPECT_EQ(Query({{"serial", "9223372036854775807"}}).serial, std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(Query({{"failed", "1"}}).failedOnly);
  EXPECT_FALSE(Query({{"failed", "0"}}).failedOnly);
  // since and until as --report reads them.
  for (const char* bound : {"2026-12-08", "2026-12-08T06:00", "2026-12-08 06:00:00.5", "2026-12-08T06:00+01:00"}) {
    int64_t expected = 0;
    std::string error;
    ASSERT_TRUE(ParseTimeBound(bound, expected, error)) << bound;
    const RecordQuery query = Query({{"since", bound}, {"until", bound}});
    EXPECT_EQ(query.sinceMs, expected) << bound;
    EXPECT_EQ(query.untilMs, expected) << bound;
  }
}

TEST(RequestValues, AnythingElseIsRefusedWithItsReason) {
  const QueryParams refused[] = {
      {{"failed", "2"}}, {{"failed", "true"}}, {{"failed", " 1"}},
      {{"serial", "-1"}}, {{"serial", "+5"}}, {{"serial", "0x10"}}, {{"serial", "1e3"}},
      {{"serial", "9223372036854775808"}}, {{"serial", "99999999999999999999"}},
      {{"limit", "0"}}, {{"limit", "1001"}}, {{"limit", "-5"}}, {{"limit", "10.5"}},
      {{"since", "yesterday"}}, {{"until", "2026-02-30T25:00"}},
      {{"limit", "5"}, {"limit", "5"}}, {{"serial", "1"}, {"serial", "2"}}};
  for (const QueryParams& params : refused) {
    RecordQuery query;
    std::string error;
    EXPECT_FALSE(ParseRecordQuery(params, query, error)) << params.begin()->first << "=" << params.begin()->second;
    EXPECT_FALSE(error.empty());
  }
  int64_t since = 0, until = 0;
  std::string error;
  EXPECT_FALSE(ParseRange({{"since", "2026-12-08"}, {"since", "2026-12-09"}}, since, until, error));
}

TEST(ServeAddress, APortAloneIsServedOnLoopbackOnly) {
  ServeAddress address;
  std::string error;
  ASSERT_TRUE(ParseServeAddress("8080", address, error)) << error;
  EXPECT_EQ(address.host, "127.0.0.1");
  EXPECT_EQ(address.port, 8080);
  ASSERT_TRUE(ParseServeAddress("0.0.0.0:65535", address, error)) << error;
  EXPECT_EQ(address.host, "0.0.0.0");
  EXPECT_EQ(address.port, 65535);
  ASSERT_TRUE(ParseServeAddress("[::1]:1", address, error)) << error;
  EXPECT_EQ(address.host, "::1");
  EXPECT_EQ(address.port, 1);
  for (const char* bad : {"", "65536", "http", "host:", ":8080", "::1:8080", "[::1]8080", "[]:80", "80 ", "-1"}) {
    EXPECT_FALSE(ParseServeAddress(bad, address, error)) << bad;
    EXPECT_NE(error.find("--serve"), std::string::npos);
  }
}

}  // namespace
