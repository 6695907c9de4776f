#pragma once

// How long the chat link waits on the chat server, in milliseconds.

// A connect, its name lookup included: a host that drops connection requests
// would otherwise hold each try for as long as the system retries.
inline constexpr int kChatConnectTimeout = 20000;
// A send that makes no progress: a chat server that hangs without closing
// stops reading, and once the buffers are full nothing more goes out.
inline constexpr int kChatSendTimeout = 20000;
// Any send from the user-interface thread (a pong, the lists after a dialog,
// "/quit"), the wait for another writer included: the window must keep
// answering, so a link that cannot take a line within this is lost instead.
inline constexpr int kWindowSendBound = 1000;
