#include "platform/store/DSStoreError.h"

bool ds_store_fail(DSStoreError *error, DSStoreError::Code code, const QString &message)
{
    if (error)
        *error = DSStoreError(code, message);
    return false;
}
