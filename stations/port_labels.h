// A station's short label ("A1", "left-3"), given as LABEL=PATH in place of its port's
// path and shown before that path wherever a person reads about the station. The records
// keep the path alone.
//
//   SplitPortLabel(value, label, path)
//       a label is 1 to 16 of A-Z a-z 0-9 _ . - before the first '=', and only when what
//       follows is an absolute path or a COM name (a device's name may hold '=', so a
//       relative one is a path as it stands); otherwise label is empty and path is value
//   TakePortLabels(ports, labels, error)
//       splits every port given in place, keeping the labels by path; false with a
//       reason when two stations share a label
//   LabelOf(labels, port)     the port's label, empty without one
//   StationName(labels, port) "A1 /dev/ttyUSB0", or the path alone
#pragma once

#include <map>
#include <string>
#include <vector>

using PortLabels = std::map<std::string, std::string>;  // labels by port path

void SplitPortLabel(const std::string& value, std::string& label, std::string& path);
bool TakePortLabels(std::vector<std::string>& ports, PortLabels& labels, std::string& error);
std::string LabelOf(const PortLabels& labels, const std::string& port);
std::string StationName(const PortLabels& labels, const std::string& port);
