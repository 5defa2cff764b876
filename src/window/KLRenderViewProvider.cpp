#include "window/KLRenderViewProvider.h"

#include <QHash>

#include <mutex>

namespace {
struct Providers {
    std::mutex mutex;
    QHash<const void *, std::weak_ptr<KLRenderViewProvider>> byOwner;
};

Providers &providers()
{
    static Providers instance;
    return instance;
}
} // namespace

void KLRenderViewProvider::install(const void *owner, std::weak_ptr<KLRenderViewProvider> provider)
{
    auto &all = providers();
    std::lock_guard lock(all.mutex);
    all.byOwner.insert(owner, std::move(provider));
}

void KLRenderViewProvider::remove(const void *owner, const KLRenderViewProvider *provider)
{
    auto &all = providers();
    std::lock_guard lock(all.mutex);
    const auto it = all.byOwner.find(owner);
    if (it == all.byOwner.end())
        return;
    const auto current = it->lock();
    if (!current || current.get() == provider)
        all.byOwner.erase(it);
}

std::shared_ptr<KLRenderViewProvider> KLRenderViewProvider::providerFor(const void *owner)
{
    auto &all = providers();
    std::lock_guard lock(all.mutex);
    return all.byOwner.value(owner).lock();
}
