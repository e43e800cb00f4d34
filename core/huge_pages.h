// Large buffers that are filled at once (an alarm file's text, its table of
// 100,000 alarms) ask for 2 MiB pages: on a virtual machine the first touch
// of each 4 KiB page cost more than reading the file. Advice only: where
// the system has no transparent huge pages nothing changes.
#pragma once

#include <cstddef>
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

}  // namespace ringmere
