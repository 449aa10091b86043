// What the virtual device tells about a conversation it served.
//
//   ReportConversation(options, number, record)   one line on standard error (unless
//                                                 --quiet) and, with --report, the file
//
// The file holds "key=value" lines: conversation, ending, data_bytes, end_rounds,
// received_bytes, sent_bytes and, with --expect, matches_expected=yes|no. It is replaced
// as a whole, so a reader never sees half of it.
#pragma once

#include "tools/vdev/conversation.h"
#include "tools/vdev/options.h"

void ReportConversation(const Options& options, int number, const ConversationRecord& record);
