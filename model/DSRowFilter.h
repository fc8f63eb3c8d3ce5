#pragma once

#include <cstdint>

// One filter of a table's active filter set as the table's row masks see
// it: the rows it rejects. The slot a leave-one-out mask leaves out is told
// "excluded", its flags naming the parts it skips.
class DSRowFilter
{
public:
    virtual ~DSRowFilter() = default;

    // Whether clearUnmatchingBitsFromMask() may clear any bit. Must answer
    // truthfully: a false "no" hands out "every row".
    virtual bool willClearBits(bool excluded, uint32_t flags) const = 0;
    // Clears the bits of the rows this filter rejects in the mask of length
    // bytes; never sets a bit. Called on the main thread.
    virtual void clearUnmatchingBitsFromMask(uint8_t *mask, int64_t length, bool excluded, uint32_t flags) const = 0;
};
