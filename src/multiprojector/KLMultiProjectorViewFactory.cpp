#include "multiprojector/KLMultiProjectorViewFactory.h"

#include <mutex>

namespace {
std::mutex g_mutex;
std::shared_ptr<KLMultiProjectorViewFactory> g_factory;
} // namespace

void KLMultiProjectorViewFactory::install(std::shared_ptr<KLMultiProjectorViewFactory> factory)
{
    std::lock_guard lock(g_mutex);
    g_factory = std::move(factory);
}

std::shared_ptr<KLMultiProjectorViewFactory> KLMultiProjectorViewFactory::installed()
{
    std::lock_guard lock(g_mutex);
    return g_factory;
}
