#pragma once

// The receive-event worker of a link. Receive events are not wired up yet: the link
// never starts a worker, so its `thread` stays empty.

namespace nx::usb {

class tftdithread {};

}  // namespace nx::usb
