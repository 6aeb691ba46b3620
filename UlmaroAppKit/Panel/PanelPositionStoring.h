#pragma once

#include "UlmaroAppKit/Panel/PanelGeometry.h"

#include <optional>

namespace ulmaro {

/// The panel's saved top-left corner (y downwards).
class PanelPositionStoring {
public:
    virtual ~PanelPositionStoring() = default;
    virtual std::optional<PanelPoint> savedTopLeft() = 0;
    virtual void save(PanelPoint topLeft) = 0;
    virtual void clear() = 0;
};

} // namespace ulmaro
