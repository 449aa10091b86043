#include "records/postgres_counts_schema.h"

#include <string>

namespace {

// Both tables' key: a period, its start and what a count is of.
constexpr char kKeyColumns[] = R"sql(
  period_ms bigint NOT NULL,
  start_ms bigint NOT NULL,
  pc text COLLATE "C" NOT NULL,
  port text COLLATE "C" NOT NULL,
  product text COLLATE "C" NOT NULL,
  firmware_size bigint NOT NULL,
  firmware_crc32 bigint NOT NULL,
)sql";

constexpr char kKeyNames[] = "period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32";

constexpr char kCountsColumns[] = R"sql(  passed bigint NOT NULL,
  failed bigint NOT NULL,
  serials bigint NOT NULL,
  lowest_serial bigint,
  highest_serial bigint,
)sql";

constexpr char kStepsColumns[] = R"sql(  step text COLLATE "C" NOT NULL,
  failed bigint NOT NULL,
)sql";

// Per record, for its hour and its day at once: a completed attempt in the same counts as
// its interrupted one only moves its outcome (and its failed step, when that changed);
// any other change takes the old row away and adds the new one. Every path writes the
// count rows first and the failed steps after, so that the count rows' locks order the
// writers of the same hour. Taking a record away is an update of its count rows and then
// a delete of those left at zero: a choice between "delete the row at 1" and "count down
// the rest" made on the statement's snapshot lost a count when another writer of the
// same hour committed in between. A row's smallest and largest serial number are looked
// up again among the records only when the one taken away was one of them.
constexpr char kKeepCountsSql[] = R"sql(
CREATE FUNCTION fwflash_keep_counts() RETURNS trigger LANGUAGE plpgsql AS $body$
DECLARE
  same_counts boolean := false;
  old_hour bigint;
  old_day bigint;
BEGIN
  IF TG_OP <> 'INSERT' THEN
    same_counts := TG_OP = 'UPDATE' AND
      (NEW.start_ms, NEW.pc, NEW.port, NEW.product, NEW.firmware_size, NEW.firmware_crc32,
       NEW.serial) IS NOT DISTINCT FROM
      (OLD.start_ms, OLD.pc, OLD.port, OLD.product, OLD.firmware_size, OLD.firmware_crc32,
       OLD.serial);
    old_hour := OLD.start_ms - ((OLD.start_ms % 3600000) + 3600000) % 3600000;
    old_day := OLD.start_ms - ((OLD.start_ms % 86400000) + 86400000) % 86400000;
  END IF;
  IF same_counts THEN
    -- Also when only the failed step moves: it holds the hour's and day's count rows, as
    -- every other writer of them does first, so that the failed steps below are counted
    -- on what those writers committed.
    IF NEW.ok <> OLD.ok OR NEW.step <> OLD.step THEN
      UPDATE fwflash_counts SET passed = passed + NEW.ok::int - OLD.ok::int,
        failed = failed + OLD.ok::int - NEW.ok::int
      WHERE (period_ms, start_ms) IN ((3600000, old_hour), (86400000, old_day))
        AND pc = OLD.pc AND port = OLD.port AND product = OLD.product
        AND firmware_size = OLD.firmware_size AND firmware_crc32 = OLD.firmware_crc32;
    END IF;
  ELSE
    IF TG_OP <> 'INSERT' THEN
      UPDATE fwflash_counts SET passed = passed - OLD.ok::int, failed = failed - (NOT OLD.ok)::int,
        serials = serials - (OLD.serial IS NOT NULL)::int
      WHERE (period_ms, start_ms) IN ((3600000, old_hour), (86400000, old_day))
        AND pc = OLD.pc AND port = OLD.port AND product = OLD.product
        AND firmware_size = OLD.firmware_size AND firmware_crc32 = OLD.firmware_crc32;
      DELETE FROM fwflash_counts
      WHERE (period_ms, start_ms) IN ((3600000, old_hour), (86400000, old_day))
        AND pc = OLD.pc AND port = OLD.port AND product = OLD.product
        AND firmware_size = OLD.firmware_size AND firmware_crc32 = OLD.firmware_crc32
        AND passed + failed = 0;
      IF OLD.serial IS NOT NULL THEN
        UPDATE fwflash_counts c SET
          lowest_serial = (SELECT min(r.serial) FROM fwflash_records r
                           WHERE r.start_ms >= c.start_ms AND r.start_ms < c.start_ms + c.period_ms
                             AND r.pc = c.pc AND r.port = c.port AND r.product = c.product
                             AND r.firmware_size = c.firmware_size
                             AND r.firmware_crc32 = c.firmware_crc32),
          highest_serial = (SELECT max(r.serial) FROM fwflash_records r
                            WHERE r.start_ms >= c.start_ms AND r.start_ms < c.start_ms + c.period_ms
                              AND r.pc = c.pc AND r.port = c.port AND r.product = c.product
                              AND r.firmware_size = c.firmware_size
                              AND r.firmware_crc32 = c.firmware_crc32)
        WHERE (c.period_ms, c.start_ms) IN ((3600000, old_hour), (86400000, old_day))
          AND c.pc = OLD.pc AND c.port = OLD.port AND c.product = OLD.product
          AND c.firmware_size = OLD.firmware_size AND c.firmware_crc32 = OLD.firmware_crc32
          AND OLD.serial IN (c.lowest_serial, c.highest_serial);
      END IF;
    END IF;
    IF TG_OP <> 'DELETE' THEN
      INSERT INTO fwflash_counts AS c
      SELECT p.ms, NEW.start_ms - ((NEW.start_ms % p.ms) + p.ms) % p.ms, NEW.pc, NEW.port,
        NEW.product, NEW.firmware_size, NEW.firmware_crc32, NEW.ok::int, (NOT NEW.ok)::int,
        (NEW.serial IS NOT NULL)::int, NEW.serial, NEW.serial
      FROM (VALUES (3600000::bigint), (86400000::bigint)) AS p(ms)
      ON CONFLICT (period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32)
      DO UPDATE SET passed = c.passed + excluded.passed, failed = c.failed + excluded.failed,
        serials = c.serials + excluded.serials,
        lowest_serial = least(c.lowest_serial, excluded.lowest_serial),
        highest_serial = greatest(c.highest_serial, excluded.highest_serial);
    END IF;
  END IF;
  IF TG_OP <> 'INSERT' AND NOT OLD.ok AND
     NOT (same_counts AND NOT NEW.ok AND NEW.step = OLD.step) THEN
    WITH gone AS (
      DELETE FROM fwflash_failed_steps
      WHERE (period_ms, start_ms) IN ((3600000, old_hour), (86400000, old_day))
        AND pc = OLD.pc AND port = OLD.port AND product = OLD.product
        AND firmware_size = OLD.firmware_size AND firmware_crc32 = OLD.firmware_crc32
        AND step = OLD.step AND failed = 1
      RETURNING 1)
    UPDATE fwflash_failed_steps SET failed = failed - 1
    WHERE (period_ms, start_ms) IN ((3600000, old_hour), (86400000, old_day))
      AND pc = OLD.pc AND port = OLD.port AND product = OLD.product
      AND firmware_size = OLD.firmware_size AND firmware_crc32 = OLD.firmware_crc32
      AND step = OLD.step AND failed > 1;
  END IF;
  IF TG_OP <> 'DELETE' AND NOT NEW.ok AND
     NOT (same_counts AND NOT OLD.ok AND NEW.step = OLD.step) THEN
    INSERT INTO fwflash_failed_steps AS f
    SELECT p.ms, NEW.start_ms - ((NEW.start_ms % p.ms) + p.ms) % p.ms, NEW.pc, NEW.port,
      NEW.product, NEW.firmware_size, NEW.firmware_crc32, NEW.step, 1
    FROM (VALUES (3600000::bigint), (86400000::bigint)) AS p(ms)
    ON CONFLICT (period_ms, start_ms, pc, port, product, firmware_size, firmware_crc32, step)
    DO UPDATE SET failed = f.failed + 1;
  END IF;
  RETURN NULL;
END
$body$;
CREATE TRIGGER fwflash_keep_counts AFTER INSERT OR UPDATE OR DELETE ON fwflash_records
FOR EACH ROW EXECUTE FUNCTION fwflash_keep_counts();
)sql";

// A table of the key's columns and its own, keyed by the key's and keyMore.
std::string Table(const char* name, const char* columns, const char* keyMore) {
  return std::string("CREATE TABLE ") + name + " (" + kKeyColumns + columns + "  PRIMARY KEY (" + kKeyNames +
         keyMore + ")\n);\n";
}

std::string Make() {
  return Table("fwflash_counts", kCountsColumns, "") + Table("fwflash_failed_steps", kStepsColumns, ", step") +
         kKeepCountsSql;
}

}  // namespace

const char* PostgresCountsSql() {
  static const std::string sql = Make();
  return sql.c_str();
}
