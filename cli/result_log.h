// --log FILE: one line per device result, appended, for the production record:
//   2026-12-07T23:59:01Z [label=A1] port=/dev/ttyUSB0 result=ok bytes=3612/3612 seconds=3.81
//   firmware_size=3612 crc32=0x1C291CA3 [step=echo byte=3 messages="..." reason="..."
//   hint="..."]
// (on one line). The log hears each device's result as a station's listener. Each line is one write to a file opened for appending, under a lock,
// so that stations ending at once never mix their lines.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "cli/firmware_source.h"
#include "stations/port_labels.h"
#include "stations/station_fan_out.h"

class ResultLog : public QuietStationEvents {
 public:
  // labels: the stations' labels for the lines
  ResultLog(const FirmwareImage& image, const PortLabels& labels) : image_(image), labels_(labels) {}
  ~ResultLog();
  ResultLog(const ResultLog&) = delete;
  ResultLog& operator=(const ResultLog&) = delete;

  // False with a one-line reason when the file cannot be opened for appending.
  bool Open(const std::string& path, std::string& error);
  // Appends the result's line, when the log is open.
  void DeviceFinished(const StationResult& result) override;

 private:
  const FirmwareImage& image_;
  const PortLabels& labels_;
  FILE* file_ = nullptr;
  std::mutex mutex_;
};
