#include "core/huge_pages.h"

#include <cstdint>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace ringmere {

void AdviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (data == nullptr || bytes < 2 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

namespace {
constexpr std::size_t kHeapStep = std::size_t{64} << 20;
constexpr std::size_t kDefaultTopPad = std::size_t{128} << 10;
}  // namespace

HugeHeapWhileLoading::HugeHeapWhileLoading(std::size_t records) {
    if (records < 10000) return;
    active_ = ::mallopt(M_TOP_PAD, static_cast<int>(kHeapStep)) == 1;
    from_ = reinterpret_cast<std::uintptr_t>(::sbrk(0));
}

HugeHeapWhileLoading::~HugeHeapWhileLoading() {
    if (!active_) return;
    Advise();
    (void)::mallopt(M_TOP_PAD, static_cast<int>(kDefaultTopPad));
}

void HugeHeapWhileLoading::Advise() {
    if (!active_) return;
    const auto to = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    if (to > from_) AdviseHugePages(reinterpret_cast<const void*>(from_), to - from_);
}

}  // namespace ringmere
