// What the virtual device tells about a conversation it served.
//
//   ReportConversation(options, number, complete, record)   one line on standard error
//                               (unless --quiet) and, with --report, the file; complete
//                               counts the complete conversations so far, this one included;
//                               with --data, the data bytes received to PREFIX-N.bin first
//
// The file holds "key=value" lines: conversation (its number, from 1), ending, data_bytes,
// end_rounds, received_bytes, sent_bytes, faults (those played, as --fault texts with the
// byte each sent, separated by spaces, or "none"), complete_conversations and, with
// --expect, matches_expected=yes|no. It is replaced as a whole after each conversation, so
// a reader never sees half of it.
#pragma once

#include "tools/vdev/conversation.h"
#include "tools/vdev/options.h"

void ReportConversation(const Options& options, int number, int complete, const ConversationRecord& record);
