// A run's fields against its image and store: checked once before anything is sent, then
// each device's image and record made from the values it drew.
//
//   CheckFieldPlaces(fields, image, overwrite, error)
//                        false with the reason when a field lies outside the image,
//                        two fields overlap, or a field's bytes are not blank (all 0x00
//                        or all 0xFF) and overwrite was not asked for
//   CheckFieldLists(fields, lists, error)
//                        false when a field's list is not in the store, or is of another
//                        kind, length or secrecy than the field
//   DrawsOf(fields, product)
//                        what each device draws from the store: the counters and the
//                        lists
//   StampFields(fields, base, record, image, error)
//                        the base image with each field's value of the record (serial,
//                        drawn) at its place; false when a value does not fit its format
//   DescribeFields(fields, record)
//                        the record's fields: a JSON object of each field's value as the
//                        field shows it (a number as decimal, hex or MAC, anything else
//                        in its list syntax), or a secret's fingerprint of the bytes
//                        written
#pragma once

#include <string>
#include <vector>

#include "jobs/job_file.h"
#include "records/device_record.h"
#include "records/record_store.h"

bool CheckFieldPlaces(const std::vector<JobField>& fields, const std::vector<uint8_t>& image,
                      bool overwrite, std::string& error);
bool CheckFieldLists(const std::vector<JobField>& fields, const std::vector<ListInfo>& lists,
                     std::string& error);
AttemptDraws DrawsOf(const std::vector<JobField>& fields, const std::string& product);
bool StampFields(const std::vector<JobField>& fields, const std::vector<uint8_t>& base,
                 const DeviceRecord& record, std::vector<uint8_t>& image, std::string& error);
std::string DescribeFields(const std::vector<JobField>& fields, const DeviceRecord& record);
