#include "dashboard/dashboard_server.h"

#include <atomic>
#include <thread>

#include <httplib.h>

#include "dashboard/api_json.h"
#include "dashboard/listen_socket.h"
#include "dashboard/live_changes.h"
#include "dashboard/page_assets.h"
#include "dashboard/request_values.h"
#include "dashboard/store_pool.h"
#include "records/record_csv.h"
#include "records/record_store.h"
#include "records/record_time.h"

namespace {

// Every event stream holds a worker thread for as long as it is open; the others serve
// the page's plain requests meanwhile.
constexpr size_t kWorkerThreads = kMaxEventStreams + 16;
constexpr size_t kStoreConnections = 4;
constexpr unsigned kKeepAliveCommentMs = 2500;  // also how soon a gone client is noticed
constexpr int64_t kHourMs = 3600 * 1000;

void Refuse(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_content(DumpJson({{"error", reason}}), "application/json");
}

void SendJson(httplib::Response& res, const nlohmann::json& json) {
  res.set_header("Cache-Control", "no-store");
  res.set_content(DumpJson(json), "application/json");
}

QueryParams Params(const httplib::Request& req) { return {req.params.begin(), req.params.end()}; }

}  // namespace

struct DashboardServer::Impl {
  explicit Impl(const std::string& target) : target(target), stores(target, kStoreConnections) {}

  void Route();
  void Stations(httplib::Response& res);
  void Summary(const httplib::Request& req, httplib::Response& res);
  void Records(const httplib::Request& req, httplib::Response& res);
  void Csv(const httplib::Request& req, httplib::Response& res);
  void Events(httplib::Response& res);
  static void Page(const httplib::Request& req, httplib::Response& res);

  const std::string target;
  StorePool stores;
  LiveChanges changes;
  httplib::Server server;
  std::thread serving;
  std::atomic<int> streams{0};
  std::string url;
};

void DashboardServer::Impl::Route() {
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server.set_socket_options(ListenAlone);
  server.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                              {"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"}});
  // Read-only: no request changes anything.
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD") return httplib::Server::HandlerResponse::Unhandled;
    res.set_header("Allow", "GET, HEAD");
    Refuse(res, 405, "the dashboard is read-only: GET and HEAD only");
    return httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) Refuse(res, res.status, res.status == 404 ? "not found" : "request refused");
  });
  server.Get("/api/stations", [this](const httplib::Request&, httplib::Response& res) { Stations(res); });
  server.Get("/api/summary", [this](const httplib::Request& req, httplib::Response& res) { Summary(req, res); });
  server.Get("/api/records", [this](const httplib::Request& req, httplib::Response& res) { Records(req, res); });
  server.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) { Events(res); });
  server.Get("/records.csv", [this](const httplib::Request& req, httplib::Response& res) { Csv(req, res); });
  server.Get("/.*", Page);
}

void DashboardServer::Impl::Stations(httplib::Response& res) {
  std::string error;
  std::vector<StationState> states;
  StoreLease store = stores.Borrow(error);
  if (!store || !store->ReadStationStates(states, error)) return Refuse(res, 503, error);
  SendJson(res, StationsJson(states, NowUtcMs()));
}

void DashboardServer::Impl::Summary(const httplib::Request& req, httplib::Response& res) {
  int64_t since = 0, until = 0;
  std::string error;
  if (!ParseRange(Params(req), since, until, error)) return Refuse(res, 400, error);
  const int64_t now = NowUtcMs();
  RecordSummary summary, lastHour;
  StoreLease store = stores.Borrow(error);
  if (!store || !store->Summarize(since, until, summary, error) ||
      !store->Summarize(now - kHourMs, now + 1, lastHour, error, false))
    return Refuse(res, 503, error);
  std::vector<ListInfo> lists;
  std::vector<CounterInfo> counters;
  // The stock alone: an empty range spares the counters' scan of the records.
  if (!store->ReadStock(0, 0, lists, counters, error)) return Refuse(res, 503, error);
  nlohmann::json json = SummaryJson(summary, lastHour.total, since, until, now);
  json["lists"] = ListsJson(lists);
  json["store"] = StoreTargetName(target);  // never its password
  SendJson(res, json);
}

void DashboardServer::Impl::Records(const httplib::Request& req, httplib::Response& res) {
  RecordQuery query;
  std::string error;
  if (!ParseRecordQuery(Params(req), query, error)) return Refuse(res, 400, error);
  nlohmann::json records = nlohmann::json::array();
  StoreLease store = stores.Borrow(error);
  if (!store ||
      !store->ReadRecords(query, [&](const DeviceRecord& record) { records.push_back(RecordJson(record)); },
                          error))
    return Refuse(res, 503, error);
  SendJson(res, {{"records", records}});
}

// Row by row as the store gives them, so that a year of records never sits in memory;
// a store that fails half-way cuts the download off, which the browser reports.
void DashboardServer::Impl::Csv(const httplib::Request& req, httplib::Response& res) {
  int64_t since = 0, until = 0;
  std::string error;
  if (!ParseRange(Params(req), since, until, error)) return Refuse(res, 400, error);
  auto store = std::make_shared<StoreLease>(stores.Borrow(error));
  if (!*store || !(*store)->Ping(error)) return Refuse(res, 503, error);
  res.set_header("Cache-Control", "no-store");
  res.set_header("Content-Disposition", "attachment; filename=\"fwflash-records.csv\"");
  res.set_chunked_content_provider("text/csv; charset=utf-8", [store, since, until](size_t, httplib::DataSink& sink) {
    std::string failure;
    const auto write = [&](const std::string& row) { sink.write(row.data(), row.size()); };
    if (!WriteRecordsCsv(**store, since, until, write, failure)) return false;
    sink.done();
    return true;
  });
}

void DashboardServer::Impl::Events(httplib::Response& res) {
  if (++streams > kMaxEventStreams) {
    --streams;
    res.set_header("Retry-After", "5");
    return Refuse(res, 503, "too many open event streams");
  }
  res.set_header("Cache-Control", "no-store");
  auto cursor = std::make_shared<StreamCursor>();
  res.set_chunked_content_provider(
      "text/event-stream",
      [this, cursor](size_t offset, httplib::DataSink& sink) {
        std::string chunk;
        if (offset == 0) {
          chunk = "retry: 1000\n\n";  // a restarted server is found again within a second
        } else if (!changes.Next(*cursor, chunk, kKeepAliveCommentMs)) {
          return false;
        }
        if (chunk.empty()) chunk = ": still here\n\n";
        return sink.write(chunk.data(), chunk.size());
      },
      [this](bool) { --streams; });
}

void DashboardServer::Impl::Page(const httplib::Request& req, httplib::Response& res) {
  const PageAsset* asset = FindPageAsset(req.path);
  if (!asset) return Refuse(res, 404, "no such page here");
  res.set_header("Cache-Control", "no-cache");
  res.set_content(reinterpret_cast<const char*>(asset->bytes), asset->size, asset->contentType);
}

DashboardServer::DashboardServer() = default;

DashboardServer::~DashboardServer() { Stop(); }

bool DashboardServer::Start(const ServeAddress& address, const std::string& storeTarget,
                            std::string& error) {
  impl_ = std::make_unique<Impl>(storeTarget);
  impl_->Route();
  ClearSocketError();
  int port = address.port;
  const bool bound = port == 0 ? (port = impl_->server.bind_to_any_port(address.host)) > 0
                               : impl_->server.bind_to_port(address.host, port);
  if (!bound) {
    error = "--serve: cannot serve on " + address.host + ":" + std::to_string(address.port) +
            SocketErrorText();
    impl_.reset();
    return false;
  }
  const bool ipv6 = address.host.find(':') != std::string::npos;
  impl_->url = "http://" + (ipv6 ? "[" + address.host + "]" : address.host) + ":" +
               std::to_string(port) + "/";
  impl_->changes.Start(storeTarget);
  impl_->serving = std::thread([this] { impl_->server.listen_after_bind(); });
  return true;
}

std::string DashboardServer::Url() const { return impl_ ? impl_->url : std::string(); }

void DashboardServer::Stop() {
  if (!impl_) return;
  impl_->changes.Stop();  // the event streams end first: each holds a worker thread
  impl_->server.stop();
  if (impl_->serving.joinable()) impl_->serving.join();
  impl_.reset();
}
