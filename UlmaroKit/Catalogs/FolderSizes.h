#pragma once

namespace ulmaro {

class IndexBuilder;

/// Folder sizes as the total of what lies below them.
struct FolderSizes {
    /// One backward pass (a parent always precedes its children): every folder's size
    /// becomes the wrapping sum of its non-deleted children's sizes, and it gets
    /// attrsFilled; its time stays. Deleted records contribute nothing and keep their size.
    static void rollUp(IndexBuilder& builder);
};

} // namespace ulmaro
