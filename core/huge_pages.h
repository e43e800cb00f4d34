// Large buffers that are filled at once (an alarm file's text, its table of
// 100,000 alarms) ask for 2 MiB pages: on a virtual machine the first touch
// of each 4 KiB page cost more than reading the file. Advice only: where
// the system has no transparent huge pages nothing changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ringmere {

// For the whole 2 MiB pages inside [data, data + bytes); buffers under a few
// MiB are left alone.
void AdviseHugePages(const void* data, std::size_t bytes);

// Room for `count` elements, asked for as above before anything is put there.
template <class T>
void ReserveLarge(std::vector<T>& v, std::size_t count) {
    v.reserve(count);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

// While a large table is read, the heap grows in big steps that ask for
// 2 MiB pages: its many small records would otherwise fault in 4 KiB at a
// time. Advice only, as above.
class HugeHeapWhileLoading {
public:
    explicit HugeHeapWhileLoading(std::size_t records);
    ~HugeHeapWhileLoading();
    HugeHeapWhileLoading(const HugeHeapWhileLoading&) = delete;
    HugeHeapWhileLoading& operator=(const HugeHeapWhileLoading&) = delete;
    // Call now and then while loading: advises what the heap has grown by.
    void Advise();

private:
    bool active_ = false;
    std::uintptr_t from_ = 0;
};

}  // namespace ringmere
