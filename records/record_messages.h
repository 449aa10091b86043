// A record's messages as one text column: a JSON array of strings, so that any message
// (commas, quotes, line breaks, even NUL bytes) comes back exactly, in order.
//
//   EncodeMessages(messages)          ["first","second"]
//   DecodeMessages(text, messages)    false when the text is not such an array
#pragma once

#include <string>
#include <vector>

std::string EncodeMessages(const std::vector<std::string>& messages);
bool DecodeMessages(const std::string& text, std::vector<std::string>& messages);
