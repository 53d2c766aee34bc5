#include "services/block_buffer.h"

#include <stdexcept>
#include <string>

int BlockBuffer::index(int entry) {
    if (entry < First || entry > Last)
        throw std::out_of_range("BlockBuffer entry " + std::to_string(entry));
    return entry - First;
}

BlockBuffer::Field BlockBuffer::field(int k) const {
    if (k < 1 || k > MaxFields)
        throw std::out_of_range("BlockBuffer field " + std::to_string(k));
    const BlockBuffer& b = *this;
    return {b[3 * k - 2], b[3 * k - 1], b[3 * k]};
}
