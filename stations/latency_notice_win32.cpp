#include "stations/latency_notice.h"

#include "stations/latency_cost.h"

const int kLatencyToldAboveMs = 2;

std::string LatencyNotice(const std::string&, int milliseconds) {
  return LatencyCost(milliseconds) +
         " (lower it to 1 or 2: Device Manager > the port's Properties > Port Settings > Advanced > Latency Timer)";
}
