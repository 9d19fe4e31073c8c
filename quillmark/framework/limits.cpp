#include "quillmark/framework/limits.h"

#include <atomic>

namespace quillmark {

namespace {
std::atomic<size_t> g_maxOutput{kDefaultMaxOutputBytes};
}

size_t MaxOutputBytes() { return g_maxOutput.load(std::memory_order_relaxed); }
void SetMaxOutputBytes(size_t bytes) { g_maxOutput.store(bytes, std::memory_order_relaxed); }

}  // namespace quillmark
