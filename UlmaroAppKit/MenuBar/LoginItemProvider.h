#pragma once

namespace ulmaro {

/// Whether the application starts at login, as the system sees it.
enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

/// The system's login items. `registerItem` and `unregisterItem` throw when they fail.
class LoginItemProvider {
public:
    virtual ~LoginItemProvider() = default;

    virtual LoginItemStatus status() const = 0;
    virtual void registerItem() = 0;
    virtual void unregisterItem() = 0;
};

} // namespace ulmaro
