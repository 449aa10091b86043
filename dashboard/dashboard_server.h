// fwflash-cli --serve: the line's dashboard over HTTP, read-only, on cpp-httplib.
//
//   DashboardServer::Start(address, target, error)
//        binds the address (alone: a port another server holds is refused, see
//        listen_socket.h) and serves the store's records and stations on a thread of its own;
//        false with a one-line reason when the address cannot be bound
//   DashboardServer::Url()    where it serves: "http://127.0.0.1:8080/"
//   DashboardServer::Stop()   ends every event stream, every request and the serving
//
// What it answers (see the README's "Line dashboard"): the page's own files, and
//   GET /api/stations, /api/summary?since=&until=,
//   GET /api/records?since=&until=&failed=&serial=&limit=, /api/events (Server-Sent
//   Events), /records.csv?since=&until=
// Every other standard method gets 405; bad values get 400; an event stream beyond
// kMaxEventStreams gets 503.
#pragma once

#include <memory>
#include <string>

#include "dashboard/serve_address.h"

constexpr int kMaxEventStreams = 128;

class DashboardServer {
 public:
  DashboardServer();
  ~DashboardServer();
  DashboardServer(const DashboardServer&) = delete;
  DashboardServer& operator=(const DashboardServer&) = delete;

  bool Start(const ServeAddress& address, const std::string& storeTarget, std::string& error);
  std::string Url() const;
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
