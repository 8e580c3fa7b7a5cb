#include "transport/at_transaction.h"

AT_PACING_t& AtPacing()
{
    static AT_PACING_t pacing;
    return pacing;
}
