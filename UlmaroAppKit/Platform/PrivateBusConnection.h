#pragma once

#include <gio/gio.h>
#include <string>

namespace ulmaro {

/// A connection of its own to a message bus, not GLib's shared one (that one ends the
/// process when the bus goes away). `address` empty: the bus of `type`. Null when no bus
/// answers or `cancellable` is cancelled; the caller closes and unrefs it.
GDBusConnection* connectPrivately(GBusType type, const std::string& address = {},
                                  GCancellable* cancellable = nullptr);

} // namespace ulmaro
