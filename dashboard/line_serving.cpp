#include "dashboard/line_serving.h"

#include <chrono>
#include <thread>

bool StartServing(const std::string& option, const std::string& target, DashboardServer& server,
                  std::string& error) {
  ServeAddress address;
  return ParseServeAddress(option, address, error) && server.Start(address, target, error);
}

void ServeUntilStopped(DashboardServer& server, const StopRequest& stop) {
  // The request comes from a signal handler, which can only set a flag.
  while (!stop.Requested()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.Stop();
}
