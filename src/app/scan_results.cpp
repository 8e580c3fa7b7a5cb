// The application's view of the port scan.

#include "app/application.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "scan/port_scan.h"

void CApplication::RefreshPorts()
{
    RefreshScan(m_vecCheckResults, m_strCostText);
}

void CApplication::PrintPortTable()
{
    RefreshPorts();
    CleanPortFields(m_vecCheckResults);
    ConsoleWrite(FormatPortTable(m_vecCheckResults, NowText(), m_strCostText));
}
