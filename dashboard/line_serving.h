// fwflash-cli --serve: the line's dashboard beside the process's stations, or alone.
//
//   StartServing(option, target, server, error)   reads [ADDR:]PORT, binds and serves
//                                                 target's store (server.Url() says
//                                                 where); false with the reason otherwise
//   ServeUntilStopped(server, stop)               serves on until the stop request
//                                                 (SIGINT, SIGTERM), then stops serving
#pragma once

#include <string>

#include "dashboard/dashboard_server.h"
#include "device/stop_request.h"

bool StartServing(const std::string& option, const std::string& target, DashboardServer& server,
                  std::string& error);
void ServeUntilStopped(DashboardServer& server, const StopRequest& stop);
