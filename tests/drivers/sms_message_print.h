#pragma once
// Comparison and printing of SmsMessage for the driver tests.

#include <ostream>

#include <gtest/gtest.h>

#include "drivers/sms_message.h"

inline bool operator==(const SmsMessage& a, const SmsMessage& b)
{
    return a.strFrom == b.strFrom && a.strTime == b.strTime && a.strText == b.strText &&
           a.bReport == b.bReport &&
           (!a.bReport ||
            (a.report.nReference == b.report.nReference && a.report.nStatus == b.report.nStatus &&
             a.report.strDischarged == b.report.strDischarged));
}

inline void PrintTo(const SmsMessage& m, std::ostream* os)
{
    *os << "{" << testing::PrintToString(m.strFrom) << ", " << testing::PrintToString(m.strTime)
        << ", " << testing::PrintToString(m.strText) << "}";
}
