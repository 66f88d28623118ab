#pragma once

namespace trawlix {

// Whether the program's HTTP clients reach this machine's own addresses (localhost,
// 127.0.0.0/8, ::1) without the configured proxy: on, as a proxy elsewhere cannot reach them
// (a local web hook, a local service), and a failure there would be blamed on the receiver.
// Switched off only to check a proxy against a server on this machine. Read at every request.
bool LoopbackBypassesProxy();
void SetLoopbackBypassesProxy(bool aValue);

}  // namespace trawlix
