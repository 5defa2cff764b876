/* Preloaded into the media server the simulator starts, and into nothing else: the server skips
 * interfaces flagged loopback when it gathers ICE candidates, so the flag is cleared here. The
 * server's own configuration confines gathering to "lo", so no other interface is ever used. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <ifaddrs.h>
#include <net/if.h>

int getifaddrs(struct ifaddrs **list)
{
    int (*real)(struct ifaddrs **) = (int (*)(struct ifaddrs **))dlsym(RTLD_NEXT, "getifaddrs");
    if (!real)
        return -1;
    int result = real(list);
    if (result == 0)
        for (struct ifaddrs *entry = *list; entry; entry = entry->ifa_next)
            entry->ifa_flags &= ~(unsigned)IFF_LOOPBACK;
    return result;
}
