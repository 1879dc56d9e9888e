// A hint for buffers of many megabytes.
#pragma once

#include <cstddef>

namespace ziva {

// Asks the system to back the whole pages of [p, p + bytes) with huge pages where it can (Linux
// transparent huge pages, also in their "madvise" mode), before the buffer is first written: a
// buffer of many megabytes then costs a few page faults instead of one per 4 KiB page. Nothing
// happens elsewhere, for short buffers, or when the system declines.
void advise_huge_pages(void* p, std::size_t bytes);

}  // namespace ziva
