#include "medialib/PreviewWindow.h"

#include <mutex>

namespace {
std::mutex factoryLock;
TPreviewWindowFactory factorySlot;
} // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory factory) {
    std::lock_guard guard(factoryLock);
    factorySlot = std::move(factory);
}

bool HasPreviewWindowFactory() {
    std::lock_guard guard(factoryLock);
    return bool(factorySlot);
}

std::unique_ptr<IPreviewWindow> CreatePreviewWindow() {
    TPreviewWindowFactory factory;
    {
        std::lock_guard guard(factoryLock);
        factory = factorySlot;
    }
    return factory ? factory() : nullptr;
}
