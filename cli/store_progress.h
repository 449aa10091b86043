// The filling of an older store's kept counts, which its first opening does once and
// which takes a while for a large store: told on standard error, whatever form the
// output has, as "record store: counted 10 %".
//
//   TellCountingKept(records)   the filling begins, for that many records
//   TellKeptCounted(percent)    another tenth of it is done
//   OpeningOnStderr             OpenEvents that tell both, for the commands that open a
//                               store without a record keeper
#pragma once

#include <cstdint>

#include "records/record_store.h"

void TellCountingKept(uint64_t records);
void TellKeptCounted(int percent);

class OpeningOnStderr final : public OpenEvents {
 public:
  void CountingKept(uint64_t records) override { TellCountingKept(records); }
  void KeptCounted(int percent) override { TellKeptCounted(percent); }
};
