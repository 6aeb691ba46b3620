#pragma once

#include "support/PrivateBusService.h"

#include <gio/gio.h>
#include <string>
#include <vector>

namespace ulmaro::test {

/// Stands for udisks2 on a private bus: owns its name, answers GetManagedObjects with the
/// block devices it is given, and announces jobs as udisks2 does, by InterfacesAdded of a
/// job object on its object manager.
class FakeUDisks {
public:
    struct Block {
        std::string object; // "/org/freedesktop/UDisks2/block_devices/sdb1"
        std::string device; // "/dev/sdb1"
        std::string drive;  // "/org/freedesktop/UDisks2/drives/Stick", or "/"
    };

    FakeUDisks(const std::string& address, std::vector<Block> blocks)
        : blocks_(std::move(blocks)),
          service_(address, "org.freedesktop.UDisks2", "/org/freedesktop/UDisks2",
                   "<node><interface name='org.freedesktop.DBus.ObjectManager'>"
                   "<method name='GetManagedObjects'><arg type='a{oa{sa{sv}}}' direction='out'/>"
                   "</method></interface></node>",
                   [this](const gchar*, GVariant*, GDBusMethodInvocation* invocation) {
                       g_dbus_method_invocation_return_value(invocation, managedObjects());
                   }) {}

    bool owned() const { return service_.owned(); }

    /// A job starts: `operation` ("filesystem-unmount", "drive-eject" …) on `objects`.
    void announceJob(const std::string& operation, const std::vector<std::string>& objects) {
        GVariantBuilder paths;
        g_variant_builder_init(&paths, G_VARIANT_TYPE("ao"));
        for (const auto& object : objects)
            g_variant_builder_add(&paths, "o", object.c_str());
        GVariantBuilder job;
        g_variant_builder_init(&job, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&job, "{sv}", "Operation", g_variant_new_string(operation.c_str()));
        g_variant_builder_add(&job, "{sv}", "Objects", g_variant_builder_end(&paths));
        g_variant_builder_add(&job, "{sv}", "Cancelable", g_variant_new_boolean(TRUE));
        GVariantBuilder interfaces;
        g_variant_builder_init(&interfaces, G_VARIANT_TYPE("a{sa{sv}}"));
        g_variant_builder_add(&interfaces, "{s@a{sv}}", "org.freedesktop.UDisks2.Job",
                              g_variant_builder_end(&job));
        const std::string path = "/org/freedesktop/UDisks2/jobs/" + std::to_string(++jobs_);
        g_dbus_connection_emit_signal(service_.connection(), nullptr, "/org/freedesktop/UDisks2",
                                      "org.freedesktop.DBus.ObjectManager", "InterfacesAdded",
                                      g_variant_new("(oa{sa{sv}})", path.c_str(), &interfaces),
                                      nullptr);
        g_dbus_connection_flush_sync(service_.connection(), nullptr, nullptr);
    }

private:
    GVariant* managedObjects() const {
        GVariantBuilder objects;
        g_variant_builder_init(&objects, G_VARIANT_TYPE("a{oa{sa{sv}}}"));
        for (const auto& block : blocks_) {
            GVariantBuilder properties;
            g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&properties, "{sv}", "Device",
                                  g_variant_new_bytestring(block.device.c_str()));
            g_variant_builder_add(&properties, "{sv}", "Drive",
                                  g_variant_new_object_path(block.drive.c_str()));
            GVariantBuilder interfaces;
            g_variant_builder_init(&interfaces, G_VARIANT_TYPE("a{sa{sv}}"));
            g_variant_builder_add(&interfaces, "{s@a{sv}}", "org.freedesktop.UDisks2.Block",
                                  g_variant_builder_end(&properties));
            g_variant_builder_add(&objects, "{o@a{sa{sv}}}", block.object.c_str(),
                                  g_variant_builder_end(&interfaces));
        }
        return g_variant_new("(a{oa{sa{sv}}})", &objects);
    }

    std::vector<Block> blocks_;
    int jobs_ = 0;
    // Last: it calls back from its thread until it is gone.
    PrivateBusService service_;
};

} // namespace ulmaro::test
