// The application's view of the port scan.

#include "app/application.h"
#include "scan/port_scan.h"

void CApplication::RefreshPorts()
{
    RefreshScan(m_scanOptions, m_vecCheckResults, m_strCostText);
}
