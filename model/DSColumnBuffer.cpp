#include "model/DSColumnBuffer.h"

ds_column_allocator_s &ds_column_allocator()
{
    static ds_column_allocator_s allocator;
    return allocator;
}
