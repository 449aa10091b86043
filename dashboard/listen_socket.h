// The listening socket's details, which each platform makes its own way.
//
//   ListenAlone(sock)        the options that make a taken port fail to bind instead of
//                            being shared: SO_REUSEADDR alone on Linux (a restart binds
//                            at once, a second server does not), SO_EXCLUSIVEADDRUSE alone
//                            on Windows (there SO_REUSEADDR would share the port, and
//                            both together fail)
//   ClearSocketError()       forgets the last socket error, before a bind
//   SocketErrorText()        ": " and the last socket error's text, or "" when none
#pragma once

#include <string>

#include <httplib.h>

void ListenAlone(socket_t sock);
void ClearSocketError();
std::string SocketErrorText();
